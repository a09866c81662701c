// Lang_langChoice: TLanguageChoice, the list of languages with their flags that switches language.
#pragma once

#include "localisation/ui/C_LangPack.h"

#include <QFrame>
#include <QPointer>
#include <QStyledItemDelegate>

#include <functional>

class QLabel;
class QListWidget;
class TLanguageChoice;

// Paints one language entry: its flag in a cream frame and its display text.
class TLanguageItemDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    static constexpr int kItemHeight = 32;

    explicit TLanguageItemDelegate(TLanguageChoice* choice);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    TLanguageChoice* choice_;
};

// A caption line naming the active language, a separator and the list of languages. The list
// mirrors the language list's Languages as of the attachment; clicking an entry switches.
class TLanguageChoice : public QFrame {
    Q_OBJECT
public:
    using TNotifyEvent = std::function<void(QObject* Sender)>;

    explicit TLanguageChoice(QWidget* parent = nullptr);

    TLangList* LanguageList() const { return languageList_; }
    // Scans the list's languages, fills the box and hooks itself in front of the list's
    // AfterLanguageSwitch; nullptr empties the box. Attaching again chains again.
    void SetLanguageList(TLangList* Value);
    // Fills the box again from the list's languages as they are now (without a new scan), with
    // the language in use selected.
    void FillList();
    // The first row: the program's own texts.
    static constexpr const char* kOriginalText = "English - original";
    // The row of the language in use.
    int CurrentRow() const;
    // Fired after the user has chosen a language.
    TNotifyEvent OnClick;

    QLabel* CaptionLabel() const { return captionLabel_; }
    QFrame* Separator() const { return separator_; }
    QListWidget* LanguageBox() const { return languageBox_; }

    // One entry, as the list draws it.
    void DrawLanguage(QPainter& canvas, int Index, const QRect& Rect, bool Selected) const;

private:
    void ListClick();
    // The hooked AfterLanguageSwitch; saved is the handler it replaced.
    void LanguageSwitched(const TNotifyEvent& saved);

    QLabel* captionLabel_;
    QFrame* separator_;
    QListWidget* languageBox_;
    QPointer<TLangList> languageList_;
};
