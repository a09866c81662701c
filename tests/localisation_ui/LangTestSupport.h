// LangTestSupport: writing language files record by record and building a small pair of forms.
#pragma once

#include "localisation/Lang_Storageobj.h"
#include "localisation/ui/C_TextStorageComponent.h"
#include "localisation/ui/ComponentModel.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTextEdit>
#include <QWidget>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace recordtest {

inline constexpr const char* kSignature = "XOL LANGUAGE FILE";

struct Record {
    int32_t tag = 0;
    std::string data;
};

inline std::string Int32(int32_t v) {
    const auto u = static_cast<uint32_t>(v);
    return std::string{static_cast<char>(u & 0xFF), static_cast<char>((u >> 8) & 0xFF),
                       static_cast<char>((u >> 16) & 0xFF), static_cast<char>((u >> 24) & 0xFF)};
}

// Writes a record store through the store object itself.
inline void WriteStore(const std::string& path, const std::vector<Record>& records) {
    QFile::remove(QString::fromStdString(path));
    TStorefile store;
    store.SetSignature(kSignature);
    store.SetFilename(path);
    store.Open();
    for (const Record& r : records)
        store.WriteData(r.tag, r.data.data(), static_cast<int32_t>(r.data.size()));
    store.Close();
}

struct Header {
    uint16_t langId = 0x040C;
    uint16_t revision = 4;
    std::string langName = "French";
    std::string localCaption = "Langue";
    std::string remark = "by a tester";
    std::string notes = "first\r\nsecond\r\n";
    std::string flag; // a BMP file or nothing
    int32_t appVersion = 0x01020C05;
    int32_t extraFlag = 0x1A7;
    std::string extraText1 = "one";
    std::string extraText2 = "two";
    std::string imeName = "ime";
    std::string fontName = "Test Face";
    int32_t charset = 0;
    int32_t minFontSize = 9;
};

// The header records of a file of header.revision (0 to 4, or any other word for tests of
// unsupported revisions: the records of revision 4 follow).
inline std::vector<Record> HeaderRecords(const Header& h) {
    std::vector<Record> r;
    if (h.revision == 0)
        r.push_back(
            {0, std::string{static_cast<char>(h.langId & 0xFF), static_cast<char>(h.langId >> 8)}});
    else
        r.push_back({0, Int32(static_cast<int32_t>(h.langId | uint32_t{h.revision} << 16))});
    r.push_back({1, h.langName});
    r.push_back({2, h.localCaption});
    r.push_back({3, h.remark});
    r.push_back({4, h.notes});
    r.push_back({5, h.flag});
    if (h.revision == 0)
        return r;
    r.push_back({0x200, Int32(h.appVersion)});
    if (h.revision != 1) {
        r.push_back({0x204, Int32(h.extraFlag)});
        r.push_back({0x205, h.extraText1});
        r.push_back({0x206, h.extraText2});
    }
    r.push_back({0x201, h.imeName});
    r.push_back({0x202, h.fontName});
    r.push_back({0x203, Int32(h.charset)});
    if (h.revision != 1 && h.revision != 2 && h.revision != 3)
        r.push_back({0x204, Int32(h.minFontSize)});
    return r;
}

struct Entry {
    std::string path;
    int32_t align = 0;
    int32_t textTag = 0;
    std::string text;
    int32_t hintTag = 0;
    std::string hint;
    int32_t listTag = 0;
    std::string list;
};

// An entry of a revision 1-4 file; the alignment record only from revision 3 on.
inline void AppendEntry(std::vector<Record>& r, uint16_t revision, const Entry& e) {
    r.push_back({0x213, e.path});
    if (revision >= 3)
        r.push_back({0x300, Int32(e.align)});
    r.push_back({e.textTag, e.text});
    r.push_back({e.hintTag, e.hint});
    r.push_back({e.listTag, e.list});
}

inline std::vector<Record> LangFile(const Header& h, const std::vector<Entry>& entries) {
    std::vector<Record> r = HeaderRecords(h);
    for (const Entry& e : entries)
        AppendEntry(r, h.revision, e);
    return r;
}

// A main form and an About box, owned through the component model the way the program's forms
// are: every control owned by its form, whatever widget holds it on screen.
struct Forms {
    std::unique_ptr<QWidget> main;
    QLabel* info = nullptr;
    QPushButton* start = nullptr;
    QCheckBox* loop = nullptr;
    QGroupBox* options = nullptr;
    QComboBox* mode = nullptr;
    QLineEdit* name = nullptr;
    QTextEdit* notes = nullptr;
    QListWidget* files = nullptr;
    QMenu* fileMenu = nullptr;
    QAction* open = nullptr;
    TTextStorageComponent* texts = nullptr;
    std::unique_ptr<QWidget> about;
    QLabel* aboutTitle = nullptr;
    TTextStorageComponent* aboutTexts = nullptr;

    Forms() {
        main = std::make_unique<QWidget>();
        main->setObjectName("MainDlg");
        main->setWindowTitle("Easy movie splitter");
        main->setFont(QFont("DejaVu Sans", 8));
        comp::Own(comp::Application(), main.get());

        options = new QGroupBox("Options", main.get());
        options->setObjectName("opts_grp");
        info = new QLabel("Info", options);
        info->setObjectName("info_lbl");
        info->setToolTip("What is shown");
        start = new QPushButton("&Start", main.get());
        start->setObjectName("start_btn");
        start->setToolTip("Start it");
        loop = new QCheckBox("Loop", options);
        loop->setObjectName("loop_chk");
        mode = new QComboBox(main.get());
        mode->setObjectName("mode_cmb");
        mode->addItems({"Fast", "Normal", "Slow"});
        mode->setCurrentIndex(1);
        name = new QLineEdit("clip.avi", main.get());
        name->setObjectName("name_edt");
        notes = new QTextEdit(main.get());
        notes->setObjectName("notes_mem");
        notes->setPlainText("line one\nline two");
        files = new QListWidget(main.get());
        files->setObjectName("files_lst");
        files->addItems({"a.avi", "b.avi"});
        fileMenu = new QMenu("&File", main.get());
        fileMenu->setObjectName("File1");
        open = fileMenu->addAction("&Open...");
        open->setObjectName("Open1");
        open->setStatusTip("Open an AVI file");
        texts = new TTextStorageComponent(
            "Ts_Main", {"Invalid file type", "Extraction done", "Error"}, main.get());
        for (QObject* c : std::initializer_list<QObject*>{options, info, start, loop, mode, name,
                                                          notes, files, fileMenu, open, texts})
            comp::Own(main.get(), c);

        about = std::make_unique<QWidget>();
        about->setObjectName("AboutDlg");
        about->setWindowTitle("About");
        comp::Own(comp::Application(), about.get());
        aboutTitle = new QLabel("Clipvane", about.get());
        aboutTitle->setObjectName("title_lbl");
        aboutTexts = new TTextStorageComponent("Ts_Main", {"Close"}, about.get());
        comp::Own(about.get(), aboutTitle);
        comp::Own(about.get(), aboutTexts);
    }
};

} // namespace recordtest
