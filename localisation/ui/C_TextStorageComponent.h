// C_TextStorageComponent: a form's message table as a named component the language engine reaches.
#pragma once

#include "localisation/C_TextStorage.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <string>
#include <vector>

// Its "Items" property (see ComponentModel) is the table's Items; Loaded() fixes the design-time
// texts, which the form's constructor calls once its table is filled.
class TTextStorageComponent : public QObject {
    Q_OBJECT
public:
    TTextStorageComponent(const QString& name, std::vector<std::string> designTexts,
                          QObject* parent = nullptr);

    TTextStorage& Storage() { return storage_; }
    const TTextStorage& Storage() const { return storage_; }

    QStringList Items() const;
    // Replaces the lines that exist; never adds or removes one.
    void SetItems(const QStringList& items);
    // The text in the active language for an English design-time text.
    QString Translate(const QString& key) const;

private:
    TTextStorage storage_;
};
