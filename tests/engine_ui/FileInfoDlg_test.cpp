// The file information dialog on real files: its tree for files with and without MP3 audio,
// checked against ffprobe, and the translation of its labels.
#include "engine/jobs/U_AVIExtractor.h"
#include "engine/ui/U_FileInfoDlg.h"
#include "tests/common/ProbeFacts.h"
#include "tests/common/SampleFiles.h"
#include "tests/common/TestMedia.h"

#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <set>

using namespace testmedia;

namespace {

QStringList Children(const QTreeWidgetItem* branch) {
    QStringList out;
    for (int i = 0; i < branch->childCount(); ++i)
        out << branch->child(i)->text(0);
    return out;
}

QStringList Branches(const QTreeWidget* tv) {
    QStringList out;
    for (int i = 0; i < tv->topLevelItemCount(); ++i)
        out << tv->topLevelItem(i)->text(0);
    return out;
}

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

} // namespace

TEST(FileInfoDlg, TreeOfAFileWithMp3Audio) {
    REQUIRE_TOOL("ffprobe", "ffmpeg");
    SAMPLE_OR_SKIP(sample, samplefiles::FfmpegMpeg4CbrMp3());
    TAVIExtractor x;
    x.Open(sample.path);
    TFileInfoDlg dlg;
    EXPECT_EQ(dlg.objectName(), "FileInfoDlg");
    EXPECT_EQ(dlg.tv->objectName(), "tv");

    bool shown = false;
    QTimer::singleShot(0, &dlg, [&] {
        shown = dlg.isVisible() && dlg.isModal();
        dlg.accept();
    });
    dlg.ShowInfo(x);
    EXPECT_TRUE(shown);
    const auto video = ProbeStream(sample.path, "v");
    const auto audio = ProbeStream(sample.path, "a");
    ASSERT_FALSE(video.empty());
    ASSERT_FALSE(audio.empty());

    ASSERT_EQ(Branches(dlg.tv), (QStringList{"File Info", "Video", "Audio"}));
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(dlg.tv->topLevelItem(i)->isExpanded()) << i;

    const QStringList file = Children(dlg.tv->topLevelItem(0));
    ASSERT_EQ(file.size(), 3);
    EXPECT_EQ(file[0], "File Name : " + Q(sample.path));
    EXPECT_TRUE(file[1].startsWith("File Size : ") && file[1].size() > 12) << file[1].toStdString();
    EXPECT_EQ(file[2], "Duration : 0:03"); // about 75 frames at 25 fps

    const QStringList v = Children(dlg.tv->topLevelItem(1));
    ASSERT_EQ(v.size(), 6);
    const size_t keys = ProbeKeyFrames(sample.path).size();
    ASSERT_GT(keys, 1u);
    EXPECT_EQ(v[5].toStdString(),
              QStringLiteral("Key frames : %1, every %2 frames on average")
                  .arg(keys)
                  .arg(Q(video.at("nb_frames")).toDouble() / static_cast<double>(keys), 0, 'f', 1)
                  .toStdString());
    EXPECT_EQ(v[0], "Resolution : " + Q(video.at("width")) + "x" + Q(video.at("height")));
    EXPECT_EQ(v[1], "# of frames : " + Q(video.at("nb_frames")));
    EXPECT_TRUE(v[2].startsWith("Bitrate : ") && v[2].endsWith(" Kbps")) << v[2].toStdString();
    EXPECT_EQ(v[3], "FourCC : " + Q(video.at("codec_tag_string")).toUpper());
    EXPECT_EQ(v[4], "FPS : 25.00 Frame/sec"); // the sample is made at 25 fps

    const QStringList a = Children(dlg.tv->topLevelItem(2));
    ASSERT_EQ(a.size(), 4);
    EXPECT_EQ(a[0], "Channels : " + Q(audio.at("channels")));
    EXPECT_EQ(a[1], "SampleRate : " + Q(audio.at("sample_rate")) + " Hz");
    EXPECT_TRUE(a[2].startsWith("Bitrate : ") && a[2].endsWith(" Kbps")) << a[2].toStdString();
    EXPECT_EQ(a[3], "Code : 0x55 (MP3)");

    // Closed by its button.
    dlg.show();
    dlg.close_btn->click();
    EXPECT_FALSE(dlg.isVisible());

    // Shown again: rebuilt, not added to.
    dlg.FillTree(x);
    EXPECT_EQ(dlg.tv->topLevelItemCount(), 3);
    EXPECT_EQ(Children(dlg.tv->topLevelItem(1)), v);
}

TEST(FileInfoDlg, NoAudioAndAudioThatIsNotMp3) {
    SAMPLE_OR_SKIP(mjpeg, samplefiles::FfmpegMjpeg());
    SAMPLE_OR_SKIP(pcm, samplefiles::FfmpegMsmpeg4v2Pcm());
    TFileInfoDlg dlg;
    TAVIExtractor x;
    x.Open(mjpeg.path);
    dlg.FillTree(x);
    ASSERT_EQ(dlg.tv->topLevelItemCount(), 3);
    EXPECT_EQ(Children(dlg.tv->topLevelItem(2)), QStringList{"No Audio"});

    // The same dialog shows the next file instead.
    x.Open(pcm.path);
    dlg.FillTree(x);
    ASSERT_EQ(dlg.tv->topLevelItemCount(), 3);
    const QStringList a = Children(dlg.tv->topLevelItem(2));
    ASSERT_EQ(a.size(), 4);
    EXPECT_EQ(a[3], "Code : 0x1");
    EXPECT_EQ(Children(dlg.tv->topLevelItem(0))[0], "File Name : " + Q(pcm.path));
}

TEST(FileInfoDlg, LabelsGoThroughTheTranslatorAndValuesDoNot) {
    SAMPLE_OR_SKIP(sample, samplefiles::FfmpegMpeg4CbrMp3());
    SAMPLE_OR_SKIP(mjpeg, samplefiles::FfmpegMjpeg());
    TAVIExtractor x;
    x.Open(sample.path);
    TFileInfoDlg dlg;
    std::set<QString> asked;
    dlg.Translator = [&](const QString& text) {
        asked.insert(text);
        return "<" + text + ">";
    };
    dlg.FillTree(x);
    EXPECT_EQ(Branches(dlg.tv), (QStringList{"<File Info>", "<Video>", "<Audio>"}));
    EXPECT_EQ(Children(dlg.tv->topLevelItem(0))[0], "<File Name :> " + Q(sample.path));
    EXPECT_EQ(Children(dlg.tv->topLevelItem(1))[4], "<FPS :> 25.00 <Frame/sec>");
    EXPECT_EQ(Children(dlg.tv->topLevelItem(2))[3], "<Code :> 0x55 (MP3)");
    for (const QString& line :
         Children(dlg.tv->topLevelItem(1)) + Children(dlg.tv->topLevelItem(2)))
        EXPECT_TRUE(line.startsWith("<")) << line.toStdString();

    x.Open(mjpeg.path);
    dlg.FillTree(x);
    EXPECT_EQ(Children(dlg.tv->topLevelItem(2)), QStringList{"<No Audio>"});
    const std::set<QString> labels{"File Info",    "File Name :",  "File Size :",
                                   "Video",        "Resolution :", "# of frames :",
                                   "Bitrate :",    "FourCC :",     "FPS :",
                                   "Frame/sec",    "Audio",        "Channels :",
                                   "SampleRate :", "Code :",       "No Audio",
                                   "Duration :",   "Key frames :", "every %s frames on average"};
    EXPECT_EQ(asked, labels);
}
