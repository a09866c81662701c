// Lang_langChoice: TLanguageChoice, the list of languages with their flags that switches language.
#include "localisation/ui/Lang_langChoice.h"

#include "localisation/ui/C_LangPack.h"
#include "localisation/ui/ComponentModel.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPainter>
#include <QVBoxLayout>

namespace {

// A list box whose selection changes by keyboard count as clicks, as a list box's selection
// notice does; selections made by the program do not.
class TLanguageBox : public QListWidget {
public:
    std::function<void()> OnKeySelect;

    explicit TLanguageBox(QWidget* parent) : QListWidget(parent) {}

protected:
    void keyPressEvent(QKeyEvent* event) override {
        const int before = currentRow();
        QListWidget::keyPressEvent(event);
        if (currentRow() != before && OnKeySelect)
            OnKeySelect();
    }
};

const QColor kFrameColor(255, 251, 240);

} // namespace

TLanguageItemDelegate::TLanguageItemDelegate(TLanguageChoice* choice)
    : QStyledItemDelegate(choice), choice_(choice) {}

void TLanguageItemDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                  const QModelIndex& index) const {
    painter->save();
    choice_->DrawLanguage(*painter, index.row(), option.rect,
                          option.state.testFlag(QStyle::State_Selected));
    painter->restore();
}

QSize TLanguageItemDelegate::sizeHint(const QStyleOptionViewItem& option,
                                      const QModelIndex& index) const {
    return {QStyledItemDelegate::sizeHint(option, index).width(), kItemHeight};
}

TLanguageChoice::TLanguageChoice(QWidget* parent) : QFrame(parent) {
    setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    setBackgroundRole(QPalette::Button);
    setAutoFillBackground(true);
    setFocusPolicy(Qt::NoFocus);
    resize(121, 100);

    captionLabel_ = new QLabel(this);
    captionLabel_->setFixedHeight(16);
    separator_ = new QFrame(this);
    separator_->setFrameShape(QFrame::HLine);
    separator_->setFrameShadow(QFrame::Raised);
    separator_->setFixedHeight(2);
    auto* box = new TLanguageBox(this);
    languageBox_ = box;
    languageBox_->setFrameShape(QFrame::NoFrame);
    languageBox_->setUniformItemSizes(true);
    languageBox_->setFocusPolicy(Qt::StrongFocus);
    languageBox_->setItemDelegate(new TLanguageItemDelegate(this));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(captionLabel_);
    layout->addWidget(separator_);
    layout->addWidget(languageBox_, 1);

    connect(languageBox_, &QAbstractItemView::clicked, this, [this] { ListClick(); });
    box->OnKeySelect = [this] { ListClick(); };
}

void TLanguageChoice::SetLanguageList(TLangList* Value) {
    languageList_ = Value;
    languageBox_->clear();
    if (!Value)
        return;
    Value->ScanLanguages();
    FillList();
    // The handler that was there is kept with the hook, so a chooser attached twice runs twice
    // and then reaches it, and a list that outlives its chooser goes on straight to it.
    Value->AfterLanguageSwitch = [self = QPointer<TLanguageChoice>(this),
                                  saved = Value->AfterLanguageSwitch](QObject* sender) {
        if (self)
            self->LanguageSwitched(saved);
        else if (saved)
            saved(sender);
    };
}

int TLanguageChoice::CurrentRow() const {
    if (!languageList_ || !languageList_->LanguageLoaded())
        return 0;
    return languageList_->LanguageIndex() + 1;
}

void TLanguageChoice::FillList() {
    languageBox_->clear();
    if (!languageList_)
        return;
    // The program's own texts come first, so that they can always be chosen again.
    auto* original = new QListWidgetItem(QString::fromLatin1(kOriginalText), languageBox_);
    original->setData(Qt::UserRole, 0);
    for (const TLangList::TLanguageEntry& entry : languageList_->Languages()) {
        auto* item = new QListWidgetItem(entry.Text, languageBox_);
        item->setData(Qt::UserRole, entry.Code);
    }
    languageBox_->setCurrentRow(CurrentRow());
}

void TLanguageChoice::LanguageSwitched(const TNotifyEvent& saved) {
    // A detached chooser still passes the news on.
    if (languageList_)
        languageBox_->setCurrentRow(CurrentRow());
    if (saved)
        saved(this);
    if (languageList_)
        captionLabel_->setText(QStringLiteral("  ") + languageList_->GetLocalCaption());
}

void TLanguageChoice::ListClick() {
    if (!languageList_)
        return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    // Lets the hourglass show before the language file is read.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    try {
        const int row = languageBox_->currentRow();
        if (row == 0)
            languageList_->SelectOriginal();
        else
            languageList_->SetLanguageIndex(row - 1);
    } catch (const std::exception& error) {
        QApplication::restoreOverrideCursor();
        // A file that failed has left the list.
        FillList();
        QMessageBox::critical(comp::MainForm(), QGuiApplication::applicationDisplayName(),
                              QString::fromUtf8(error.what()));
        return;
    }
    captionLabel_->setText(languageList_->GetLocalCaption());
    QApplication::restoreOverrideCursor();
    if (OnClick)
        OnClick(this);
}

void TLanguageChoice::DrawLanguage(QPainter& canvas, int Index, const QRect& Rect,
                                   bool Selected) const {
    if (!languageList_)
        return;
    const QPalette& palette = languageBox_->palette();
    // A list box paints its selection in the highlight colours whether it has the focus or not.
    const QColor brush =
        palette.color(QPalette::Active, Selected ? QPalette::Highlight : QPalette::Base);
    const QColor textColor =
        palette.color(QPalette::Active, Selected ? QPalette::HighlightedText : QPalette::Text);
    const int left = Rect.left();
    const int top = Rect.top();
    const int bottom = Rect.top() + Rect.height(); // exclusive, as the item rectangle's
    // A flag up to 28 pixels high sits 2 pixels below the top of a 32-pixel row.
    const int mid = (top + bottom - 28) / 2;

    canvas.fillRect(Rect, brush);
    QImage flag;
    try {
        if (Index > 0)
            languageList_->ReadFlag(languageList_->GetLanguageCode(Index - 1), flag);
    } catch (const EInvalidGraphic&) {
        return; // a damaged flag ends the entry's drawing
    }
    const int w = flag.width();
    const int h = flag.height();

    canvas.fillRect(QRect(left + 3, mid - 1, w + 2, h + 2), brush);
    canvas.setPen(kFrameColor);
    canvas.setBrush(Qt::NoBrush);
    canvas.setRenderHint(QPainter::Antialiasing, false);
    // drawRect covers one pixel more than its size on each axis.
    canvas.drawRect(QRect(left + 3, mid - 1, w + 1, h + 1));
    if (!flag.isNull())
        canvas.drawImage(QRect(left + 4, mid, w, h), flag.convertToFormat(QImage::Format_RGB32));

    const QListWidgetItem* item = languageBox_->item(Index);
    if (!item)
        return;
    const QFontMetrics metrics(languageBox_->font());
    canvas.setFont(languageBox_->font());
    canvas.setPen(textColor);
    const int y = (top + bottom - metrics.height()) / 2;
    canvas.drawText(QPoint(left + w + 12, y + metrics.ascent()), item->text());
}
