// NetTestSupport: server process, openssl-made certificates, ELF files with a version resource.
#include "tests/qtcommon/NetTestSupport.h"

#include "tests/common/TestMedia.h"

#include <QDeadlineTimer>
#include <QString>
#include <QStringList>
#include <QTcpServer>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace nettest {

namespace {

using testmedia::Quote;
using testmedia::Run;

// The server gets this long to start and print its port; a stuck start fails the test instead
// of hanging it.
constexpr int kStartWaitMs = 20000;

bool RunStep(const std::string& command, std::string& error) {
    const testmedia::RunResult r = Run(command);
    if (r.exitCode != 0)
        error = command + "\n" + r.err;
    return r.exitCode == 0;
}

// A key and a certificate for subjectAltName san, signed by the CA in dir.
bool MakeSignedCert(const std::string& dir, const std::string& name, const std::string& san,
                    int serial, std::string& error) {
    const std::string base = dir + "/" + name;
    std::ofstream(base + ".ext") << "subjectAltName=" << san
                                 << "\nbasicConstraints=CA:FALSE\n"
                                    "keyUsage=critical,digitalSignature,keyEncipherment\n"
                                    "extendedKeyUsage=serverAuth\n";
    return RunStep("openssl req -new -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes "
                   "-keyout " +
                       Quote(base + ".key") + " -out " + Quote(base + ".csr") + " -subj " +
                       Quote("/CN=" + name),
                   error) &&
           RunStep("openssl x509 -req -in " + Quote(base + ".csr") + " -CA " +
                       Quote(dir + "/ca.pem") + " -CAkey " + Quote(dir + "/ca.key") +
                       " -set_serial " + std::to_string(serial) + " -days 2 -sha256 -extfile " +
                       Quote(base + ".ext") + " -out " + Quote(base + ".pem"),
                   error);
}

TPki MakePki() {
    TPki pki;
    const std::string dir = testmedia::TempDir() + "/pki";
    fs::create_directories(dir);
    if (!RunStep("openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes "
                 "-keyout " +
                     Quote(dir + "/ca.key") + " -out " + Quote(dir + "/ca.pem") +
                     " -days 2 -sha256 -subj " + Quote("/CN=Clipvane Test CA") +
                     " -addext basicConstraints=critical,CA:TRUE"
                     " -addext keyUsage=critical,keyCertSign,cRLSign",
                 pki.error) ||
        !MakeSignedCert(dir, "server", "IP:127.0.0.1,DNS:localhost", 2, pki.error) ||
        !MakeSignedCert(dir, "other.example", "DNS:other.example", 3, pki.error))
        return pki;
    pki.caCert = dir + "/ca.pem";
    pki.serverCert = dir + "/server.pem";
    pki.serverKey = dir + "/server.key";
    pki.otherHostCert = dir + "/other.example.pem";
    pki.otherHostKey = dir + "/other.example.key";
    return pki;
}

std::string Trim(const std::string& text) {
    const size_t begin = text.find_first_not_of(" \t\r\n");
    if (begin == std::string::npos)
        return {};
    const size_t end = text.find_last_not_of(" \t\r\n");
    return text.substr(begin, end - begin + 1);
}

// The interpreter itself: a version-manager shim in front of python3 can cost seconds per start.
QString PythonExecutable() {
    static const QString python = [] {
        const testmedia::RunResult r = Run("python3 -c 'import sys; print(sys.executable)'");
        const std::string path = Trim(r.out);
        return r.exitCode == 0 && !path.empty() ? QString::fromStdString(path)
                                                : QStringLiteral("python3");
    }();
    return python;
}

} // namespace

const TPki& Pki() {
    static const TPki pki = MakePki();
    return pki;
}

TLocalServer::~TLocalServer() {
    if (!process_)
        return;
    // The server ends when its input closes.
    process_->closeWriteChannel();
    if (!process_->waitForFinished(5000)) {
        process_->kill();
        process_->waitForFinished(5000);
    }
}

bool TLocalServer::Start(const TServerOptions& options) {
    static int counter = 0;
    const std::string dir = testmedia::TempDir() + "/server" + std::to_string(++counter);
    fs::create_directories(dir);
    logPath_ = dir + "/requests.log";

    QStringList args;
    args << QString::fromUtf8(CLIPVANE_SOURCE_DIR "/tests/qtcommon/https_server.py");
    args << "--mode" << QString::fromStdString(options.mode);
    args << "--log" << QString::fromStdString(logPath_);
    args << "--status" << QString::number(options.status);
    if (!options.reason.empty())
        args << "--reason" << QString::fromStdString(options.reason);
    const std::string bodyPath = dir + "/body";
    std::ofstream(bodyPath, std::ios::binary) << options.body;
    args << "--body" << QString::fromStdString(bodyPath);
    if (!options.proxyAuth.empty())
        args << "--proxy-auth" << QString::fromStdString(options.proxyAuth);
    if (options.tls) {
        const TPki& pki = Pki();
        if (!pki.error.empty()) {
            error_ = "certificates: " + pki.error;
            return false;
        }
        const std::string& cert = options.otherHostCert ? pki.otherHostCert : pki.serverCert;
        const std::string& key = options.otherHostCert ? pki.otherHostKey : pki.serverKey;
        args << "--cert" << QString::fromStdString(cert) << "--key" << QString::fromStdString(key);
    }

    process_ = std::make_unique<QProcess>();
    process_->setProcessChannelMode(QProcess::SeparateChannels);
    process_->start(PythonExecutable(), args);
    if (!process_->waitForStarted(kStartWaitMs)) {
        error_ = "python3 did not start: " + process_->errorString().toStdString();
        return false;
    }
    const QDeadlineTimer deadline(kStartWaitMs);
    while (!process_->canReadLine() && !deadline.hasExpired()) {
        if (process_->state() != QProcess::Running) {
            error_ = "server ended: " + process_->readAllStandardError().toStdString();
            return false;
        }
        process_->waitForReadyRead(static_cast<int>(deadline.remainingTime()));
    }
    bool ok = false;
    const int port = QString::fromUtf8(process_->readLine()).trimmed().toInt(&ok);
    if (!ok || port <= 0 || port > 65535) {
        error_ = "no port from the server: " + process_->readAllStandardError().toStdString();
        return false;
    }
    port_ = static_cast<uint16_t>(port);
    return true;
}

std::vector<TSeenRequest> TLocalServer::Requests() const {
    std::vector<TSeenRequest> requests;
    std::ifstream in(logPath_);
    std::string line;
    TSeenRequest current;
    bool open = false;
    while (std::getline(in, line)) {
        if (line.empty()) {
            if (open)
                requests.push_back(current);
            current = {};
            open = false;
        } else if (!open) {
            current.line = line;
            open = true;
        } else {
            const size_t colon = line.find(':');
            if (colon != std::string::npos)
                current.headers.emplace(line.substr(0, colon), Trim(line.substr(colon + 1)));
        }
    }
    return requests;
}

uint16_t ClosedPort() {
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0))
        return 0;
    const uint16_t port = probe.serverPort();
    probe.close();
    return port;
}

namespace {

void Put16(std::vector<uint8_t>& out, uint32_t value) {
    out.push_back(static_cast<uint8_t>(value));
    out.push_back(static_cast<uint8_t>(value >> 8));
}
void Put32(std::vector<uint8_t>& out, uint32_t value) {
    Put16(out, value & 0xFFFF);
    Put16(out, value >> 16);
}
void Put64(std::vector<uint8_t>& out, uint64_t value) {
    Put32(out, static_cast<uint32_t>(value));
    Put32(out, static_cast<uint32_t>(value >> 32));
}
void Pad4(std::vector<uint8_t>& out) {
    while (out.size() % 4 != 0)
        out.push_back(0);
}
void PutUtf16(std::vector<uint8_t>& out, const std::string& utf8) {
    for (const char16_t unit : QString::fromUtf8(utf8).toStdU16String())
        Put16(out, unit);
    Put16(out, 0);
}
size_t Utf16Units(const std::string& utf8) {
    return QString::fromUtf8(utf8).size() + 1;
}

// wLength, wValueLength, wType, the key, the value and the children, each on a 4-byte boundary.
std::vector<uint8_t> Node(const std::string& key, uint16_t type, uint16_t valueLength,
                          const std::vector<uint8_t>& value,
                          const std::vector<std::vector<uint8_t>>& children) {
    std::vector<uint8_t> node(6, 0);
    PutUtf16(node, key);
    Pad4(node);
    node.insert(node.end(), value.begin(), value.end());
    for (const std::vector<uint8_t>& child : children) {
        Pad4(node);
        node.insert(node.end(), child.begin(), child.end());
    }
    node[0] = static_cast<uint8_t>(node.size());
    node[1] = static_cast<uint8_t>(node.size() >> 8);
    node[2] = static_cast<uint8_t>(valueLength);
    node[3] = static_cast<uint8_t>(valueLength >> 8);
    node[4] = static_cast<uint8_t>(type);
    node[5] = 0;
    return node;
}

} // namespace

std::vector<uint8_t> VersionBlock(uint32_t fileVersionMS, uint32_t fileVersionLS,
                                  const std::map<std::string, std::string>& strings) {
    std::vector<uint8_t> fixed;
    for (const uint32_t v : {0xFEEF04BDu, 0x00010000u, fileVersionMS, fileVersionLS, fileVersionMS,
                             fileVersionLS, 0x3Fu, 0u, 4u, 1u, 0u, 0u, 0u})
        Put32(fixed, v);

    std::vector<std::vector<uint8_t>> values;
    for (const auto& [key, text] : strings) {
        std::vector<uint8_t> value;
        PutUtf16(value, text);
        values.push_back(Node(key, 1, static_cast<uint16_t>(Utf16Units(text)), value, {}));
    }
    const std::vector<uint8_t> table = Node("040904B0", 1, 0, {}, values);
    const std::vector<uint8_t> stringInfo = Node("StringFileInfo", 1, 0, {}, {table});
    std::vector<uint8_t> translation;
    Put16(translation, 0x0409);
    Put16(translation, 0x04B0);
    const std::vector<uint8_t> var = Node("Translation", 0, 4, translation, {});
    const std::vector<uint8_t> varInfo = Node("VarFileInfo", 1, 0, {}, {var});
    return Node("VS_VERSION_INFO", 0, static_cast<uint16_t>(fixed.size()), fixed,
                {stringInfo, varInfo});
}

void WriteElfWithVersion(const std::string& path, const std::vector<uint8_t>& block) {
    const std::string names = std::string("\0.rsrc_version\0.shstrtab\0", 25);
    const uint64_t blockAt = 64;
    const uint64_t namesAt = blockAt + block.size();
    uint64_t headersAt = namesAt + names.size();
    headersAt = (headersAt + 7) & ~uint64_t{7};

    std::vector<uint8_t> out = {0x7F, 'E', 'L', 'F', 2, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    Put16(out, 2);  // executable
    Put16(out, 62); // x86-64
    Put32(out, 1);
    Put64(out, 0); // entry
    Put64(out, 0); // program headers
    Put64(out, headersAt);
    Put32(out, 0);
    Put16(out, 64); // header size
    Put16(out, 0);
    Put16(out, 0);
    Put16(out, 64); // section header size
    Put16(out, 3);  // null, .rsrc_version, .shstrtab
    Put16(out, 2);
    out.insert(out.end(), block.begin(), block.end());
    out.insert(out.end(), names.begin(), names.end());
    out.resize(headersAt, 0);

    const auto section = [&](uint32_t name, uint32_t type, uint64_t flags, uint64_t offset,
                             uint64_t size) {
        Put32(out, name);
        Put32(out, type);
        Put64(out, flags);
        Put64(out, 0);
        Put64(out, offset);
        Put64(out, size);
        Put32(out, 0);
        Put32(out, 0);
        Put64(out, 1);
        Put64(out, 0);
    };
    section(0, 0, 0, 0, 0);
    section(1, 1, 2, blockAt, block.size());  // PROGBITS, allocated
    section(15, 3, 0, namesAt, names.size()); // STRTAB
    testmedia::WriteAll(path, out);
}

} // namespace nettest
