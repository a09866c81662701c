// fuzz_langfile: applies mutated bytes as a language file to a small live form, then writes the
// reference file and loads it back.
#include "localisation/ui/C_LangRecord.h"
#include "localisation/ui/C_TextStorageComponent.h"
#include "localisation/ui/ComponentModel.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTextEdit>

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

void Check(bool ok) {
    if (!ok)
        __builtin_trap();
}

QString TempPath(const char* what) {
    const char* tmp = std::getenv("TMPDIR");
    return QString::fromStdString(std::string(tmp && *tmp ? tmp : "/tmp") + "/fuzz_langfile." +
                                  std::to_string(getpid()) + "." + what + ".SPK");
}

struct Form {
    QWidget* main = nullptr;
    QComboBox* mode = nullptr;
    TTextStorageComponent* texts = nullptr;
    QStringList excluded = {"skip_lbl"};
};

// One application and one form for the whole run, as in the program: every input is applied on
// top of what the inputs before it left.
Form& TheForm() {
    static Form form = [] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "fuzz_langfile";
        static char* argv[] = {name, nullptr};
        new QApplication(argc, argv);

        Form f;
        f.main = new QWidget;
        f.main->setObjectName("MainDlg");
        f.main->setWindowTitle("Easy movie splitter");
        comp::Own(comp::Application(), f.main);
        const auto own = [&](QObject* c, const char* objectName) {
            c->setObjectName(objectName);
            comp::Own(f.main, c);
        };
        own(new QLabel("Info", f.main), "info_lbl");
        own(new QLabel("Skipped", f.main), "skip_lbl");
        own(new QPushButton("&Start", f.main), "start_btn");
        own(new QCheckBox("Loop", f.main), "loop_chk");
        f.mode = new QComboBox(f.main);
        f.mode->addItems({"Fast", "Normal", "Slow"});
        f.mode->setCurrentIndex(1);
        own(f.mode, "mode_cmb");
        own(new QLineEdit("clip.avi", f.main), "name_edt");
        own(new QTextEdit("one\ntwo", f.main), "notes_mem");
        auto* menu = new QMenu("&File", f.main);
        own(menu, "File1");
        own(menu->addAction("&Open..."), "Open1");
        f.texts = new TTextStorageComponent("Ts_Main", {"Invalid file type", "Error"}, f.main);
        own(f.texts, "Ts_Main");
        return f;
    }();
    return form;
}

bool Load(const QString& path, bool& raised) {
    Form& f = TheForm();
    TLanguageRecord record(4, comp::Application(), &f.excluded);
    raised = false;
    try {
        return record.LoadAndApply(path);
    } catch (const ELanguageFileError&) {
        raised = true;
        return false;
    }
}

} // namespace

// Fontconfig keeps what it parses for the rest of the process, and a language file names any
// font face it likes: those blocks are caches, not our leaks.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig\n";
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Form& f = TheForm();
    static const QString input = TempPath("in");
    static const QString reference = TempPath("ref");
    static const bool cleanUp = [] {
        std::atexit([] {
            QFile::remove(input);
            QFile::remove(reference);
        });
        return true;
    }();
    (void)cleanUp;

    QFile::remove(input);
    {
        QFile file(input);
        if (!file.open(QIODevice::WriteOnly))
            return 0;
        file.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size));
    }
    bool raised = false;
    const bool loaded = Load(input, raised);
    // Lists are translated line by line, never resized; the selection survives.
    Check(f.mode->count() == 3 && f.mode->currentIndex() == 1);
    Check(f.texts->Items().size() == 2);
    if (!loaded)
        return 0;

    // Whatever a file applied, the reference written from it is a file that loads.
    TLanguageRecord writer(4, comp::Application(), &f.excluded);
    writer.FontName = f.main->font().family();
    Check(writer.SaveToFile(reference));
    Check(Load(reference, raised) && !raised);
    return 0;
}
