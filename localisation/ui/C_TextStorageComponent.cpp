// C_TextStorageComponent: a form's message table as a named component the language engine reaches.
#include "localisation/ui/C_TextStorageComponent.h"

#include <algorithm>
#include <utility>

TTextStorageComponent::TTextStorageComponent(const QString& name,
                                             std::vector<std::string> designTexts, QObject* parent)
    : QObject(parent), storage_(std::move(designTexts)) {
    setObjectName(name);
}

QStringList TTextStorageComponent::Items() const {
    QStringList items;
    for (const std::string& line : storage_.Items())
        items << QString::fromStdString(line);
    return items;
}

void TTextStorageComponent::SetItems(const QStringList& items) {
    // The table's lines are addressed by position; a language never changes how many there are.
    const auto count = std::min(static_cast<std::size_t>(items.size()), storage_.Items().size());
    for (std::size_t i = 0; i < count; ++i)
        storage_.SetItem(i, items[static_cast<qsizetype>(i)].toStdString());
}

QString TTextStorageComponent::Translate(const QString& key) const {
    return QString::fromStdString(storage_.Translate(key.toStdString()));
}
