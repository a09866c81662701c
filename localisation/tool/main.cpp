// clipvane-lang: dumps language files, makes PO templates from the reference file and builds
// language files from translated PO files.
#include "localisation/LangBuild.h"

#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr const char* kUsage =
    "Usage: clipvane-lang COMMAND ...\n"
    "  dump FILE.SPK                 list a language file's header and entries\n"
    "  template REFERENCE.SPK [-o FILE.pot]\n"
    "                                write a PO template of every text of the reference file\n"
    "  build REFERENCE.SPK FILE.po -o OUT.SPK [--flag FLAG.bmp] [--app-version A.B.C.D]\n"
    "                                build a language file from a translated PO file\n"
    "The reference file is written by running clipvane with -co (AVI_ORIGINAL.SPK).\n"
    "A PO file names its language in the header fields X-Clipvane-LangId (e.g. 0x040C),\n"
    "X-Clipvane-LangName, X-Clipvane-LocalCaption, X-Clipvane-Remark, X-Clipvane-Charset\n"
    "(Windows character set, e.g. 0 Western, 204 Cyrillic, 161 Greek), X-Clipvane-FontName\n"
    "and X-Clipvane-MinFontSize.\n";

bool ReadFile(const std::string& path, std::string& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    std::ostringstream s;
    s << in.rdbuf();
    bytes = s.str();
    return !in.bad();
}

bool WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
    out.close();
    return static_cast<bool>(out);
}

int Fail(const std::string& message) {
    std::cerr << "clipvane-lang: " << message << "\n";
    return 1;
}

// Splits "-o X", "--flag X", "--app-version X" from the positional arguments.
struct Args {
    std::vector<std::string> positional;
    std::string output, flag, appVersion;
    std::string error;
};

Args ParseArgs(int argc, char** argv, int first) {
    Args a;
    for (int i = first; i < argc; ++i) {
        const std::string arg = argv[i];
        std::string* target = arg == "-o"              ? &a.output
                              : arg == "--flag"        ? &a.flag
                              : arg == "--app-version" ? &a.appVersion
                                                       : nullptr;
        if (target) {
            if (i + 1 >= argc) {
                a.error = arg + " needs a value";
                return a;
            }
            *target = argv[++i];
        } else if (arg.size() > 1 && arg[0] == '-') {
            a.error = "unknown option " + arg;
            return a;
        } else {
            a.positional.push_back(arg);
        }
    }
    return a;
}

int Dump(const Args& a) {
    if (a.positional.size() != 1)
        return Fail("dump takes one file");
    langfile::LangFileData data;
    std::string error;
    if (!langfile::Read(a.positional[0], data, error))
        return Fail(error);
    std::cout << langbuild::Dump(data);
    return 0;
}

int Template(const Args& a) {
    if (a.positional.size() != 1)
        return Fail("template takes the reference file");
    langfile::LangFileData reference;
    std::string error;
    if (!langfile::Read(a.positional[0], reference, error))
        return Fail(error);
    const std::string text = po::Format(langbuild::MakeTemplate(reference));
    if (a.output.empty()) {
        std::cout << text;
        return 0;
    }
    return WriteFile(a.output, text) ? 0 : Fail("cannot write " + a.output);
}

int Build(const Args& a) {
    if (a.positional.size() != 2 || a.output.empty())
        return Fail("build takes the reference file, the PO file and -o OUT.SPK");
    langfile::LangFileData reference, out;
    std::string error, poText;
    if (!langfile::Read(a.positional[0], reference, error))
        return Fail(error);
    if (!ReadFile(a.positional[1], poText))
        return Fail("cannot read " + a.positional[1]);
    po::Catalog catalog;
    if (!po::Parse(poText, catalog, error))
        return Fail(a.positional[1] + ": " + error);
    langbuild::BuildOptions options;
    if (!a.flag.empty()) {
        if (!ReadFile(a.flag, options.flag))
            return Fail("cannot read " + a.flag);
        if (options.flag.size() < 54 || options.flag.compare(0, 2, "BM") != 0)
            return Fail(a.flag + " is not a BMP file");
    }
    if (!a.appVersion.empty() && !langfile::ParsePackedVersion(a.appVersion, options.appVersion))
        return Fail("--app-version wants four numbers such as 1.2.3.4: " + a.appVersion);
    std::vector<std::string> warnings;
    if (!langbuild::Build(reference, catalog, options, out, error, &warnings))
        return Fail(a.positional[1] + ": " + error);
    for (const std::string& w : warnings)
        std::cerr << "clipvane-lang: warning: " << w << "\n";
    if (!langfile::Write(a.output, out, error))
        return Fail(error);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2 || std::string(argv[1]) == "--help" || std::string(argv[1]) == "-h") {
        std::cout << kUsage;
        return argc < 2 ? 1 : 0;
    }
    const std::string command = argv[1];
    const Args args = ParseArgs(argc, argv, 2);
    if (!args.error.empty())
        return Fail(args.error);
    if (command == "dump")
        return Dump(args);
    if (command == "template")
        return Template(args);
    if (command == "build")
        return Build(args);
    std::cerr << kUsage;
    return Fail("unknown command " + command);
}
