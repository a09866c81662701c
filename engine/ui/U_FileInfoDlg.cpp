// U_FileInfoDlg: the file information dialog and the tree it builds from the property list.
#include "engine/ui/U_FileInfoDlg.h"

#include "engine/jobs/U_AVIExtractor.h"
#include "support/files/U_TobrelUtils.h"

#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <string>
#include <vector>

namespace {

// The value of Name in name=value lines; empty when absent.
QString PropertyValue(const std::vector<std::string>& List, const std::string& Name) {
    const std::string prefix = Name + "=";
    for (const std::string& line : List)
        if (line.compare(0, prefix.size(), prefix) == 0)
            return QString::fromStdString(line.substr(prefix.size()));
    return QString();
}

} // namespace

TFileInfoDlg::TFileInfoDlg(QWidget* Parent)
    : QDialog(Parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                          Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("FileInfoDlg"));
    setWindowTitle(QStringLiteral("File Info."));
    tv = new QTreeWidget(this);
    tv->setObjectName(QStringLiteral("tv"));
    tv->setIndentation(19);
    tv->setHeaderHidden(true);
    tv->setColumnCount(1);
    tv->setEditTriggers(QAbstractItemView::NoEditTriggers);
    close_btn = new QPushButton(QStringLiteral("Close"), this);
    close_btn->setObjectName(QStringLiteral("close_btn"));
    close_btn->setDefault(true);
    connect(close_btn, &QPushButton::clicked, this, &QDialog::accept);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(5, 5, 5, 5);
    column->addWidget(tv, 1);
    column->addWidget(close_btn, 0, Qt::AlignRight);
    resize(380, 400);
}

QString TFileInfoDlg::Tr(const QString& Text) const {
    return Translator ? Translator(Text) : Text;
}

QString TFileInfoDlg::KeyFrameLine(const TAVIExtractor& Extractor) const {
    const size_t keys = Extractor.KeyFrames().size();
    QString line = Tr(QStringLiteral("Key frames :")) + QLatin1Char(' ') + QString::number(keys);
    if (keys > 0) {
        QString spacing = Tr(QStringLiteral("every %s frames on average"));
        spacing.replace(
            QStringLiteral("%s"),
            QString::number(static_cast<double>(Extractor.FrameCount()) / static_cast<double>(keys),
                            'f', 1));
        line += QStringLiteral(", ") + spacing;
    }
    return line;
}

void TFileInfoDlg::FillTree(const TAVIExtractor& Extractor) {
    tv->clear();
    std::vector<std::string> list;
    Extractor.GetProperties(&list);

    auto addBranch = [this](const QString& Title) {
        auto* branch = new QTreeWidgetItem(tv, QStringList{Tr(Title)});
        return branch;
    };
    auto addChild = [&](QTreeWidgetItem* Branch, const QString& Label, const std::string& Name) {
        return new QTreeWidgetItem(
            Branch, QStringList{Tr(Label) + QLatin1Char(' ') + PropertyValue(list, Name)});
    };

    QTreeWidgetItem* file = addBranch(QStringLiteral("File Info"));
    addChild(file, QStringLiteral("File Name :"), "file_name");
    addChild(file, QStringLiteral("File Size :"), "file_size");
    new QTreeWidgetItem(file, QStringList{Tr(QStringLiteral("Duration :")) + QLatin1Char(' ') +
                                          QString::fromStdString(
                                              FormatDuration(int64_t{Extractor.FrameCount()} *
                                                             Extractor.FrameDuration() / 1000))});
    file->setExpanded(true);

    QTreeWidgetItem* video = addBranch(QStringLiteral("Video"));
    addChild(video, QStringLiteral("Resolution :"), "video_resolution");
    addChild(video, QStringLiteral("# of frames :"), "video_nbframes");
    addChild(video, QStringLiteral("Bitrate :"), "video_bitrate");
    addChild(video, QStringLiteral("FourCC :"), "video_fourcc");
    QTreeWidgetItem* fps = addChild(video, QStringLiteral("FPS :"), "video_fps");
    fps->setText(0, fps->text(0) + QLatin1Char(' ') + Tr(QStringLiteral("Frame/sec")));
    new QTreeWidgetItem(video, QStringList{KeyFrameLine(Extractor)});
    video->setExpanded(true);

    QTreeWidgetItem* audio = addBranch(QStringLiteral("Audio"));
    if (Extractor.HasAudio) {
        addChild(audio, QStringLiteral("Channels :"), "audio_channels");
        addChild(audio, QStringLiteral("SampleRate :"), "audio_samples");
        addChild(audio, QStringLiteral("Bitrate :"), "audio_bitrate");
        QTreeWidgetItem* code = addChild(audio, QStringLiteral("Code :"), "audio_code");
        if (PropertyValue(list, "audio_code") == QLatin1String("0x55"))
            code->setText(0, code->text(0) + QStringLiteral(" (MP3)"));
    } else {
        new QTreeWidgetItem(audio, QStringList{Tr(QStringLiteral("No Audio"))});
    }
    audio->setExpanded(true);
}

int TFileInfoDlg::ShowInfo(const TAVIExtractor& Extractor) {
    FillTree(Extractor);
    return exec();
}
