// ComponentModel: the ownership registry and the table of published properties per Qt class.
#include "localisation/ui/ComponentModel.h"

#include "localisation/ui/C_TextStorageComponent.h"

#include <QAbstractButton>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFont>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPointer>
#include <QRadioButton>
#include <QStringList>
#include <QTextEdit>
#include <QWidget>

#include <functional>
#include <unordered_map>
#include <vector>

namespace comp {
namespace {

// ---------------------------------------------------------------------------------------------
// Ownership

struct Node {
    QPointer<QObject> owner;
    QList<QPointer<QObject>> components;
};

// Keyed by address, so an entry must go when its object dies: a new object may be born at the
// same address. Never freed: forms may die after main() returns.
std::unordered_map<const QObject*, Node>& Nodes() {
    static auto* nodes = new std::unordered_map<const QObject*, Node>;
    return *nodes;
}

Node& NodeOf(QObject* object) {
    auto& nodes = Nodes();
    auto it = nodes.find(object);
    if (it != nodes.end())
        return it->second;
    QObject::connect(object, &QObject::destroyed, [](QObject* dying) { Nodes().erase(dying); });
    return nodes[object];
}

const Node* FindNode(const QObject* object) {
    auto& nodes = Nodes();
    auto it = nodes.find(object);
    return it == nodes.end() ? nullptr : &it->second;
}

void Disown(QObject* component) {
    auto& nodes = Nodes();
    auto it = nodes.find(component);
    if (it == nodes.end() || !it->second.owner)
        return;
    auto ownerIt = nodes.find(it->second.owner.data());
    if (ownerIt != nodes.end())
        ownerIt->second.components.removeAll(QPointer<QObject>(component));
    it->second.owner = nullptr;
}

// ---------------------------------------------------------------------------------------------
// ShowHint

constexpr const char* kCharsetProperty = "clipvaneFontCharset";

bool ShowHintOf(const QObject* object) {
    const QVariant v = object->property(kShowHintProperty);
    return !v.isValid() || v.toBool();
}

// Qt has no switch for a widget's tooltip, so a widget whose ShowHint is off keeps its toolTip
// (the hint) and this filter swallows the tooltip event.
class HintGate : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override {
        return event->type() == QEvent::ToolTip && !ShowHintOf(watched);
    }
};

HintGate* Gate() {
    static auto* gate = new HintGate;
    return gate;
}

// ---------------------------------------------------------------------------------------------
// Property table

enum class Kind { String, Bool, StringList, Int, Font };

using Fits = bool (*)(const QObject*);

struct Binding {
    const char* name;
    Kind kind;
    const QMetaObject* type;
    Fits fits;
    std::function<QVariant(const QObject*)> get;
    // Called with a value already checked to hold kind's type.
    std::function<bool(QObject*, const QVariant&)> set;
};

template <class T>
Binding On(const char* name, Kind kind, QVariant (*get)(const T&), bool (*set)(T&, const QVariant&),
           Fits fits = nullptr) {
    return Binding{name,
                   kind,
                   &T::staticMetaObject,
                   fits,
                   [get](const QObject* o) { return get(*static_cast<const T*>(o)); },
                   [set](QObject* o, const QVariant& v) { return set(*static_cast<T*>(o), v); }};
}

bool IsWindow(const QObject* o) {
    return static_cast<const QWidget*>(o)->isWindow();
}

bool IsNotMenu(const QObject* o) {
    return qobject_cast<const QMenu*>(o) == nullptr;
}

// Texts split into lines the way a multi-line edit's Lines does: a final line break adds no
// empty line.
QStringList SplitPlain(const QString& text) {
    if (text.isEmpty())
        return {};
    QStringList lines = text.split(QLatin1Char('\n'));
    if (lines.size() > 1 && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

QVariant ComboItems(const QComboBox& c) {
    QStringList items;
    for (int i = 0; i < c.count(); ++i)
        items << c.itemText(i);
    return items;
}

// Assigning a list: lines that have an item rename it (keeping its data, icon and the
// selection), surplus items go, missing ones are added.
bool SetComboItems(QComboBox& c, const QVariant& v) {
    const QStringList items = v.toStringList();
    for (int i = 0; i < items.size() && i < c.count(); ++i)
        c.setItemText(i, items[i]);
    while (c.count() > items.size())
        c.removeItem(c.count() - 1);
    for (auto i = c.count(); i < items.size(); ++i)
        c.addItem(items[i]);
    return true;
}

QVariant ListItems(const QListWidget& l) {
    QStringList items;
    for (int i = 0; i < l.count(); ++i)
        items << l.item(i)->text();
    return items;
}

bool SetListItems(QListWidget& l, const QVariant& v) {
    const QStringList items = v.toStringList();
    for (int i = 0; i < items.size() && i < l.count(); ++i)
        l.item(i)->setText(items[i]);
    while (l.count() > items.size())
        delete l.takeItem(l.count() - 1);
    for (auto i = l.count(); i < items.size(); ++i)
        l.addItem(items[i]);
    return true;
}

// alignment ordinals: 0 left-justify, 1 right-justify, 2 centre. The vertical part is kept.
QVariant AlignmentOrdinal(Qt::Alignment a) {
    if (a & Qt::AlignRight)
        return 1;
    if (a & Qt::AlignHCenter)
        return 2;
    return 0;
}

bool AlignmentFromOrdinal(const QVariant& v, Qt::Alignment current, Qt::Alignment& result) {
    Qt::Alignment horizontal;
    switch (v.toInt()) {
    case 0:
        horizontal = Qt::AlignLeft;
        break;
    case 1:
        horizontal = Qt::AlignRight;
        break;
    case 2:
        horizontal = Qt::AlignHCenter;
        break;
    default:
        return false;
    }
    result = (current & ~Qt::AlignHorizontal_Mask) | horizontal;
    return true;
}

// Layout ordinals: 0 left to right, 1 right to left.
QVariant DirectionOrdinal(const QWidget& w) {
    return w.layoutDirection() == Qt::RightToLeft ? 1 : 0;
}

bool SetDirectionOrdinal(QWidget& w, const QVariant& v) {
    const int ordinal = v.toInt();
    if (ordinal != 0 && ordinal != 1)
        return false;
    w.setLayoutDirection(ordinal == 1 ? Qt::RightToLeft : Qt::LeftToRight);
    return true;
}

// The one place that says which class publishes which property. For each name the first entry
// whose class (and condition) fits the component wins, so specific classes come before the
// general ones. A new kind of component is one more line here.
//
// | name      | kind        | class                          | Qt side                           |
// |-----------|-------------|--------------------------------|-----------------------------------|
// | Caption   | string      | QLabel, QAbstractButton        | text ('&' marks the accelerator)  |
// |           |             | QGroupBox, QMenu               | title                             |
// |           |             | QAction (menu item)            | text ('&' marks the accelerator)  |
// |           |             | QWidget that is a window       | windowTitle                       |
// | Text      | string      | QLineEdit                      | text                              |
// | Hint      | string      | QMenu                          | its menu action's statusTip       |
// |           |             | QAction                        | statusTip                         |
// |           |             | QWidget                        | toolTip                           |
// | ShowHint  | bool        | QWidget but QMenu              | dynamic property kShowHintProperty|
// |           |             |                                | (true when unset); false stops    |
// |           |             |                                | the tooltip from showing          |
// | Items     | string list | QComboBox, QListWidget         | the items' texts                  |
// |           |             | TTextStorageComponent          | its table's Items (never resized) |
// | ItemIndex | int         | QComboBox                      | currentIndex                      |
// |           |             | QListWidget                    | currentRow                        |
// | Lines     | string list | QTextEdit, QPlainTextEdit      | the plain text split at LF        |
// | Font      | QFont       | QWidget, QAction               | font                              |
// | alignment | int 0/1/2   | QCheckBox, QRadioButton        | which side of the box the text is:|
// |           |             |                                | 0 left (RightToLeft direction),   |
// |           |             |                                | 1 right (LeftToRight); 2 refused  |
// |           |             | QLabel, QLineEdit              | horizontal alignment: 0 AlignLeft,|
// |           |             |                                | 1 AlignRight, 2 AlignHCenter      |
// | Layout    | int 0/1     | QAbstractButton, QLabel        | layoutDirection: 0 LeftToRight,   |
// |           |             |                                | 1 RightToLeft                     |
//
// Qt reads AlignLeft and AlignRight relative to the layout direction, so a label given
// alignment 0 and Layout 1 sits at the right edge: the mirror image of left-justified text.
const std::vector<Binding>& Table() {
    static const std::vector<Binding> table = {
        On<QLabel>(
            "Caption", Kind::String, [](const QLabel& w) -> QVariant { return w.text(); },
            [](QLabel& w, const QVariant& v) {
                w.setText(v.toString());
                return true;
            }),
        On<QAbstractButton>(
            "Caption", Kind::String, [](const QAbstractButton& w) -> QVariant { return w.text(); },
            [](QAbstractButton& w, const QVariant& v) {
                w.setText(v.toString());
                return true;
            }),
        On<QGroupBox>(
            "Caption", Kind::String, [](const QGroupBox& w) -> QVariant { return w.title(); },
            [](QGroupBox& w, const QVariant& v) {
                w.setTitle(v.toString());
                return true;
            }),
        On<QMenu>(
            "Caption", Kind::String, [](const QMenu& w) -> QVariant { return w.title(); },
            [](QMenu& w, const QVariant& v) {
                w.setTitle(v.toString());
                return true;
            }),
        On<QAction>(
            "Caption", Kind::String, [](const QAction& a) -> QVariant { return a.text(); },
            [](QAction& a, const QVariant& v) {
                a.setText(v.toString());
                return true;
            }),
        On<QWidget>(
            "Caption", Kind::String, [](const QWidget& w) -> QVariant { return w.windowTitle(); },
            [](QWidget& w, const QVariant& v) {
                w.setWindowTitle(v.toString());
                return true;
            },
            IsWindow),

        On<QLineEdit>(
            "Text", Kind::String, [](const QLineEdit& w) -> QVariant { return w.text(); },
            [](QLineEdit& w, const QVariant& v) {
                w.setText(v.toString());
                return true;
            }),

        On<QMenu>(
            "Hint", Kind::String,
            [](const QMenu& w) -> QVariant { return w.menuAction()->statusTip(); },
            [](QMenu& w, const QVariant& v) {
                w.menuAction()->setStatusTip(v.toString());
                return true;
            }),
        On<QAction>(
            "Hint", Kind::String, [](const QAction& a) -> QVariant { return a.statusTip(); },
            [](QAction& a, const QVariant& v) {
                a.setStatusTip(v.toString());
                return true;
            }),
        On<QWidget>(
            "Hint", Kind::String, [](const QWidget& w) -> QVariant { return w.toolTip(); },
            [](QWidget& w, const QVariant& v) {
                w.setToolTip(v.toString());
                return true;
            }),

        On<QWidget>(
            "ShowHint", Kind::Bool, [](const QWidget& w) -> QVariant { return ShowHintOf(&w); },
            [](QWidget& w, const QVariant& v) {
                if (!w.property(kShowHintProperty).isValid())
                    w.installEventFilter(Gate());
                w.setProperty(kShowHintProperty, v.toBool());
                return true;
            },
            IsNotMenu),

        On<QComboBox>("Items", Kind::StringList, ComboItems, SetComboItems),
        On<QListWidget>("Items", Kind::StringList, ListItems, SetListItems),
        On<TTextStorageComponent>(
            "Items", Kind::StringList,
            [](const TTextStorageComponent& t) -> QVariant { return t.Items(); },
            [](TTextStorageComponent& t, const QVariant& v) {
                t.SetItems(v.toStringList());
                return true;
            }),

        On<QComboBox>(
            "ItemIndex", Kind::Int, [](const QComboBox& c) -> QVariant { return c.currentIndex(); },
            [](QComboBox& c, const QVariant& v) {
                const int index = v.toInt();
                if (index < -1 || index >= c.count())
                    return false;
                c.setCurrentIndex(index);
                return true;
            }),
        On<QListWidget>(
            "ItemIndex", Kind::Int, [](const QListWidget& l) -> QVariant { return l.currentRow(); },
            [](QListWidget& l, const QVariant& v) {
                const int index = v.toInt();
                if (index < -1 || index >= l.count())
                    return false;
                l.setCurrentRow(index);
                return true;
            }),

        On<QTextEdit>(
            "Lines", Kind::StringList,
            [](const QTextEdit& e) -> QVariant { return SplitPlain(e.toPlainText()); },
            [](QTextEdit& e, const QVariant& v) {
                e.setPlainText(v.toStringList().join(QLatin1Char('\n')));
                return true;
            }),
        On<QPlainTextEdit>(
            "Lines", Kind::StringList,
            [](const QPlainTextEdit& e) -> QVariant { return SplitPlain(e.toPlainText()); },
            [](QPlainTextEdit& e, const QVariant& v) {
                e.setPlainText(v.toStringList().join(QLatin1Char('\n')));
                return true;
            }),

        On<QWidget>(
            "Font", Kind::Font, [](const QWidget& w) -> QVariant { return w.font(); },
            [](QWidget& w, const QVariant& v) {
                w.setFont(v.value<QFont>());
                return true;
            }),
        On<QAction>(
            "Font", Kind::Font, [](const QAction& a) -> QVariant { return a.font(); },
            [](QAction& a, const QVariant& v) {
                a.setFont(v.value<QFont>());
                return true;
            }),

        On<QCheckBox>(
            "alignment", Kind::Int,
            [](const QCheckBox& w) -> QVariant {
                return w.layoutDirection() == Qt::RightToLeft ? 0 : 1;
            },
            [](QCheckBox& w, const QVariant& v) {
                return SetDirectionOrdinal(w, QVariant(1 - v.toInt()));
            }),
        On<QRadioButton>(
            "alignment", Kind::Int,
            [](const QRadioButton& w) -> QVariant {
                return w.layoutDirection() == Qt::RightToLeft ? 0 : 1;
            },
            [](QRadioButton& w, const QVariant& v) {
                return SetDirectionOrdinal(w, QVariant(1 - v.toInt()));
            }),
        On<QLabel>(
            "alignment", Kind::Int,
            [](const QLabel& w) -> QVariant { return AlignmentOrdinal(w.alignment()); },
            [](QLabel& w, const QVariant& v) {
                Qt::Alignment a;
                if (!AlignmentFromOrdinal(v, w.alignment(), a))
                    return false;
                w.setAlignment(a);
                return true;
            }),
        On<QLineEdit>(
            "alignment", Kind::Int,
            [](const QLineEdit& w) -> QVariant { return AlignmentOrdinal(w.alignment()); },
            [](QLineEdit& w, const QVariant& v) {
                Qt::Alignment a;
                if (!AlignmentFromOrdinal(v, w.alignment(), a))
                    return false;
                w.setAlignment(a);
                return true;
            }),

        On<QAbstractButton>(
            "Layout", Kind::Int,
            [](const QAbstractButton& w) -> QVariant { return DirectionOrdinal(w); },
            [](QAbstractButton& w, const QVariant& v) { return SetDirectionOrdinal(w, v); }),
        On<QLabel>(
            "Layout", Kind::Int, [](const QLabel& w) -> QVariant { return DirectionOrdinal(w); },
            [](QLabel& w, const QVariant& v) { return SetDirectionOrdinal(w, v); }),
    };
    return table;
}

const Binding* Find(const QObject* component, QStringView name) {
    if (!component)
        return nullptr;
    const QMetaObject* meta = component->metaObject();
    for (const Binding& b : Table()) {
        if (name.compare(QLatin1String(b.name), Qt::CaseInsensitive) != 0)
            continue;
        if (!meta->inherits(b.type))
            continue;
        if (b.fits && !b.fits(component))
            continue;
        return &b;
    }
    return nullptr;
}

bool Holds(const QVariant& v, QMetaType::Type type) {
    return v.metaType().id() == type;
}

// Brings value into the kind's type; false when it cannot be.
bool Normalise(Kind kind, const QVariant& value, QVariant& out) {
    switch (kind) {
    case Kind::String:
        if (!Holds(value, QMetaType::QString))
            return false;
        out = value;
        return true;
    case Kind::StringList:
        if (!Holds(value, QMetaType::QStringList))
            return false;
        out = value;
        return true;
    case Kind::Font:
        if (!Holds(value, QMetaType::QFont))
            return false;
        out = value;
        return true;
    case Kind::Bool:
        if (!value.canConvert<bool>())
            return false;
        out = value.toBool();
        return true;
    case Kind::Int: {
        bool ok = false;
        const int v = value.toInt(&ok);
        if (!ok)
            return false;
        out = v;
        return true;
    }
    }
    return false;
}

int screenCharset = 1;

} // namespace

QObject* Application() {
    static auto* application = new QObject;
    return application;
}

void Own(QObject* owner, QObject* component) {
    if (!component || component == owner)
        return;
    // A loop in the tree would make every walk endless.
    for (QObject* o = owner; o; o = Owner(o)) {
        if (o == component)
            return;
    }
    Disown(component);
    if (!owner)
        return;
    Node& ownerNode = NodeOf(owner);
    ownerNode.components.append(QPointer<QObject>(component));
    NodeOf(component).owner = owner;
}

QList<QObject*> Components(const QObject* owner) {
    QList<QObject*> list;
    if (const Node* node = FindNode(owner)) {
        for (const QPointer<QObject>& c : node->components) {
            if (c)
                list.append(c.data());
        }
    }
    return list;
}

QObject* Owner(const QObject* component) {
    const Node* node = FindNode(component);
    return node ? node->owner.data() : nullptr;
}

QString Name(const QObject* component) {
    return component ? component->objectName() : QString();
}

bool IsForm(const QObject* component) {
    return component && component->isWidgetType() && Owner(component) == Application();
}

QWidget* MainForm() {
    for (QObject* c : Components(Application())) {
        if (c->isWidgetType())
            return static_cast<QWidget*>(c);
    }
    return nullptr;
}

bool HasProperty(const QObject* component, QStringView name) {
    return Find(component, name) != nullptr;
}

QVariant GetProperty(const QObject* component, QStringView name) {
    const Binding* b = Find(component, name);
    return b ? b->get(component) : QVariant();
}

bool SetProperty(QObject* component, QStringView name, const QVariant& value) {
    const Binding* b = Find(component, name);
    QVariant checked;
    if (!b || !Normalise(b->kind, value, checked))
        return false;
    return b->set(component, checked);
}

int FontCharset(const QObject* component) {
    if (!component)
        return 1;
    const QVariant v = component->property(kCharsetProperty);
    return v.isValid() ? v.toInt() : 1;
}

void SetFontCharset(QObject* component, int charset) {
    if (component)
        component->setProperty(kCharsetProperty, charset);
}

int ScreenFontCharset() {
    return screenCharset;
}

void SetScreenFontCharset(int charset) {
    screenCharset = charset;
}

} // namespace comp
