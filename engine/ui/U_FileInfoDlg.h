// U_FileInfoDlg: TFileInfoDlg, the dialog that shows the source's property list as a tree of
// file, video and audio branches.
#pragma once

#include <QDialog>
#include <QString>

#include <functional>

class QPushButton;
class QTreeWidget;
class TAVIExtractor;

class TFileInfoDlg : public QDialog {
    Q_OBJECT
public:
    explicit TFileInfoDlg(QWidget* Parent = nullptr);

    // Labels go through it by their English text (the main window passes its message
    // table's Translate); values are shown as they are. Empty means English.
    std::function<QString(const QString&)> Translator;

    // Rebuilds the tree from Extractor, then shows the dialog modally.
    int ShowInfo(const TAVIExtractor& Extractor);
    // Rebuilds the tree only.
    void FillTree(const TAVIExtractor& Extractor);

    QTreeWidget* tv;
    QPushButton* close_btn;

private:
    QString Tr(const QString& Text) const;
    // "Key frames : N, every X frames on average".
    QString KeyFrameLine(const TAVIExtractor& Extractor) const;
};
