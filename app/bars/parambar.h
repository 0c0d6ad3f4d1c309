// The parameter bar: a tool bar rebuilt from a bar descriptor whenever a
// tool with another bar becomes current. Its value controls form the
// control table, indexed from 0 in descriptor order; tools read and write
// them by index. A control is shown and enabled only when the user level is
// at least its level; hidden controls keep their index.
#pragma once

#include "bars/bardesc.h"

#include <QObject>

#include <functional>
#include <string>
#include <vector>

class QAction;
class QFont;
class QLabel;
class QMouseEvent;
class QToolBar;
class QWidget;

namespace kv {

enum class BarControl { Button, Check, Number, List, Font, Color, Picture };

class TParamBar : public QObject {
    Q_OBJECT

  public:
    // bar holds caption as its first widget, which stays.
    TParamBar(QToolBar* bar, QLabel* caption);

    // Removes every control but the caption and builds descriptor's items;
    // measureFont is the font text widths are measured with.
    void Build(const std::string& name, std::string_view descriptor, int level,
               const QFont& measureFont);
    // Removes the controls (the caption stays).
    void Clear();

    const std::string& BuiltName() const { return name_; }
    int BuiltLevel() const { return level_; }
    int ControlCount() const { return static_cast<int>(controls_.size()); }
    QWidget* Control(int index) const;
    BarControl Kind(int index) const;

    // A missing index reads 0 and writes or binds nothing.
    double GetBarValue(int index) const;
    void SetBarValue(int index, double value);
    // Connects handler to the control's change: the change of a list or font
    // box, change and exit of a number field, click and change of a check
    // box, click of a button.
    void BindBarHandler(int index, std::function<void()> handler);
    // Connects a mouse-press handler to a colour field.
    void BindBarMouseDown(int index, std::function<void(QMouseEvent*)> handler);

  private:
    struct Entry {
        QWidget* Widget = nullptr;
        BarControl Kind = BarControl::Button;
        // The handler's connections: binding again replaces them, so a tool
        // activated again on a kept bar runs its handler once per change.
        mutable std::vector<QMetaObject::Connection> Bound;
    };
    void Unbind(const Entry& e);
    const Entry* Find(int index) const;
    void Add(QWidget* w, int level, int currentLevel, int tagLow = 0);
    QWidget* MakeControl(const BarItem& item, const QFont& font, QLabel*& label);

    QToolBar* bar_;
    QLabel* caption_;
    std::vector<Entry> controls_;
    std::vector<QAction*> actions_; // every widget added after the caption
    std::string name_;
    int level_ = 0;
};

} // namespace kv
