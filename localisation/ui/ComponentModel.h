// ComponentModel: the language engine's view of Qt objects - owners, names, published properties.
#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QVariant>

// What the language files address is a tree of named components: the application object owns
// the forms in creation order, each form owns its components in a fixed order (flat, whatever
// widget holds them on screen). Qt's parent tree differs (layouts, group boxes, menus), so the
// ownership the files rely on is recorded here explicitly.
namespace comp {

// The application object: the unnamed top of the tree; it owns every form.
QObject* Application();

// Appends component to owner's components. A component has one owner; owning it again moves it
// to the end of the new owner's list. Destroyed components drop out of the list by themselves.
void Own(QObject* owner, QObject* component);
// The components owner owns, in ownership order.
QList<QObject*> Components(const QObject* owner);
// nullptr when the component has no owner.
QObject* Owner(const QObject* component);
// The component's name (its Qt object name).
QString Name(const QObject* component);
// A form: a widget that the application object owns.
bool IsForm(const QObject* component);
// The application's main form: the first form it owns; nullptr when it owns none.
QWidget* MainForm();

// Published properties, found by name without regard to letter case: "Caption", "Text", "Hint",
// "ShowHint", "Items", "Lines", "ItemIndex", "Font", "alignment" and "Layout". Values travel as
// QVariant: QString (Caption, Text, Hint), bool (ShowHint), QStringList (Items, Lines), int
// (ItemIndex and the ordinal values of alignment and Layout), QFont (Font).
bool HasProperty(const QObject* component, QStringView name);
// An invalid QVariant when the component has no such property.
QVariant GetProperty(const QObject* component, QStringView name);
// False when the component has no such property or refuses the value.
bool SetProperty(QObject* component, QStringView name, const QVariant& value);

// The Windows character set a component's font was last given (fonts carry no character set in
// Qt; the language engine keeps it beside the font). 1 (default) until one is set.
int FontCharset(const QObject* component);
void SetFontCharset(QObject* component, int charset);

// The character set of the screen's hint, icon and menu fonts. Qt finds glyphs per character,
// so it is only remembered, like a component's; 1 until one is set.
int ScreenFontCharset();
void SetScreenFontCharset(int charset);

// Name of the dynamic property that holds a widget's ShowHint.
inline constexpr const char* kShowHintProperty = "clipvaneShowHint";

} // namespace comp
