// NetTestSupport: the loopback server process, test certificates and program files with a known
// version resource, for the update-check tests.
#pragma once

#include "tests/common/TestMedia.h"

#include <QProcess>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

// Skips the running test unless python3 and openssl are there.
#define REQUIRE_SERVER_TOOLS()                                                                     \
    do {                                                                                           \
        REQUIRE_TOOL("python3", "python3");                                                        \
        REQUIRE_TOOL("openssl", "openssl");                                                        \
    } while (0)

namespace nettest {

// A test CA, a server certificate for 127.0.0.1 and localhost and one for another host name, both
// signed by the CA; made once per process by the openssl command.
struct TPki {
    std::string caCert;
    std::string serverCert;
    std::string serverKey;
    std::string otherHostCert;
    std::string otherHostKey;
    std::string error; // why they could not be made; empty when they were
};
const TPki& Pki();

// One request as the server saw it.
struct TSeenRequest {
    std::string line; // "GET /path?query HTTP/1.1"
    std::multimap<std::string, std::string> headers;
};

struct TServerOptions {
    std::string mode = "answer"; // answer, hang, proxy
    std::string body;
    int status = 200;
    std::string reason; // the standard phrase when empty
    bool tls = true;
    bool otherHostCert = false;
    std::string proxyAuth; // user:password
};

inline TServerOptions Answer(const std::string& body, int status = 200,
                             const std::string& reason = {}) {
    TServerOptions o;
    o.body = body;
    o.status = status;
    o.reason = reason;
    return o;
}
inline TServerOptions PlainAnswer(const std::string& body) {
    TServerOptions o = Answer(body);
    o.tls = false;
    return o;
}
inline TServerOptions OtherHostAnswer(const std::string& body) {
    TServerOptions o = Answer(body);
    o.otherHostCert = true;
    return o;
}
inline TServerOptions Hang() {
    TServerOptions o;
    o.mode = "hang";
    return o;
}
inline TServerOptions Proxy(const std::string& body, const std::string& userPassword) {
    TServerOptions o = PlainAnswer(body);
    o.mode = "proxy";
    o.proxyAuth = userPassword;
    return o;
}

// https_server.py running as a child process, stopped when this object goes.
class TLocalServer {
public:
    TLocalServer() = default;
    ~TLocalServer();
    TLocalServer(const TLocalServer&) = delete;
    TLocalServer& operator=(const TLocalServer&) = delete;

    // Starts the server and waits for its port; false with the reason in Error() on failure.
    bool Start(const TServerOptions& options);
    uint16_t Port() const { return port_; }
    std::string HostPort() const { return "127.0.0.1:" + std::to_string(port_); }
    const std::string& Error() const { return error_; }
    std::vector<TSeenRequest> Requests() const;

private:
    std::unique_ptr<QProcess> process_;
    uint16_t port_ = 0;
    std::string logPath_;
    std::string error_;
};

// A port on 127.0.0.1 with nobody listening (taken and given back at once).
uint16_t ClosedPort();

// A version block (VS_VERSIONINFO) with the given fixed file version, one string table 040904B0
// holding Strings (UTF-8 values) and the translation 0409/04B0.
std::vector<uint8_t> VersionBlock(uint32_t fileVersionMS, uint32_t fileVersionLS,
                                  const std::map<std::string, std::string>& strings);
// A minimal ELF file whose section ".rsrc_version" holds Block, as our programs carry it.
void WriteElfWithVersion(const std::string& path, const std::vector<uint8_t>& block);

} // namespace nettest
