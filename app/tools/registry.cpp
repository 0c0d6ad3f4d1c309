// Registering tools as icons of the tool panel, the icon buttons' events,
// the variant panel and the tool hot keys.
#include "tools/framework.h"

#include "keys.h"
#include "lang.h"
#include "log.h"
#include "tools/iconpanel.h"
#include "tools/toolbutton.h"

#include <QGuiApplication>
#include <QScreen>

namespace kv {

namespace {

QPixmap ToolGlyph(const char* name) {
    return RenderSvg(QString(":/glyphs/%1.svg").arg(QString::fromLatin1(name).toLower()),
                     QSize(24, 24));
}

int NameIndex(std::string_view english) {
    for (std::size_t i = 0; i < key::kToolNames.size(); ++i)
        if (key::kToolNames[i] == english) return static_cast<int>(i);
    return -1;
}

} // namespace

QString ToolFramework::HotKeyText(int hotKey) {
    if (hotKey == 0) return {};
    QString text = " (";
    if (hotKey & 0x400) text += QString::fromStdString(Translate(key::Alt)) + '+';
    if (hotKey & 0x200) text += QString::fromStdString(Translate(key::Ctrl)) + '+';
    if (hotKey & 0x100) text += QString::fromStdString(Translate(key::Shift)) + '+';
    return text + QChar(hotKey & 0xFF) + ')';
}

int ToolFramework::RegisterTool(const char* glyph, P_icon* tool, int hotKey, int group,
                                const char* englishName, int columns) {
    return RegisterTool(ToolGlyph(glyph), tool, hotKey, group, englishName, columns);
}

int ToolFramework::RegisterTool(const QPixmap& glyph, P_icon* tool, int hotKey, int group,
                                const char* englishName, int columns) {
    if (columns != 0) {
        if (static_cast<int>(icons_.size()) >= kIconCapacity) {
            LogLine("Tool icon refused: the icon table is full.");
            return -1;
        }
        IconRecord icon;
        icon.First = icon.Current = static_cast<int>(tools_.size());
        icon.Columns = columns;
        icon.HotKey = hotKey;
        icons_.push_back(icon);
    }
    const int index = static_cast<int>(icons_.size()) - 1;
    if (index < 0) return -1;
    IconRecord& icon = icons_.back();
    if (icon.Count >= kMaxVariants || static_cast<int>(tools_.size()) >= kToolCapacity)
        return index;
    ToolRecord record;
    record.Glyph = glyph;
    record.Tool = tool;
    record.NameIndex = NameIndex(englishName);
    record.English = englishName;
    record.Name = QString::fromStdString(Translate(englishName));
    tools_.push_back(record);
    if (icon.Button == nullptr)
        AddIconButton(index, group, record);
    else
        icon.Button->AllowAllUp = false; // an icon with variants stays down
    tool->IconButton = icon.Button;
    ++icon.Count;
    return index;
}

void ToolFramework::AddIconButton(int icon, int group, const ToolRecord& record) {
    IconRecord& rec = icons_[static_cast<std::size_t>(icon)];
    auto* b = new TToolButton(toolPanel_, group);
    b->setObjectName(QString("ToolIcon%1").arg(icon));
    b->setGeometry(icon % 2 * kButtonSize, icon / 2 * kButtonSize, kButtonSize, kButtonSize);
    b->setIconSize(QSize(24, 24));
    b->setIcon(QIcon(record.Glyph));
    b->setToolTip(record.Name + HotKeyText(rec.HotKey));
    b->setFocusPolicy(Qt::NoFocus);
    b->AllowAllUp = true;
    b->show();
    rec.Button = b;
    toolPanel_->setFixedSize(2 * kButtonSize, (icon / 2 + 1) * kButtonSize);
    connect(b, &QAbstractButton::clicked, this, [this, icon] { IconClick(icon); });
    connect(b, &TToolButton::Pressed, this,
            [this, icon](Qt::MouseButtons buttons) { IconPress(icon, buttons); });
    connect(b, &TToolButton::Released, this, &ToolFramework::IconRelease);
}

void ToolFramework::Retranslate() {
    for (ToolRecord& t : tools_) t.Name = QString::fromStdString(Translate(t.English));
    for (const IconRecord& icon : icons_)
        if (icon.Button != nullptr && icon.Current < static_cast<int>(tools_.size()))
            icon.Button->setToolTip(tools_[static_cast<std::size_t>(icon.Current)].Name +
                                    HotKeyText(icon.HotKey));
}

void ToolFramework::SetSecondaryTool(P_icon* tool, int hotKey) {
    if (icons_.empty()) return;
    icons_.back().Secondary = tool;
    icons_.back().SecondaryHotKey = hotKey;
    tool->IconButton = icons_.back().Button;
}

int ToolFramework::ToolIndex(const P_icon* tool) const {
    for (std::size_t i = 0; i < tools_.size(); ++i)
        if (tools_[i].Tool == tool) return static_cast<int>(i);
    return -1;
}

P_icon* ToolFramework::ToolByName(std::string_view english) const {
    const int name = NameIndex(english);
    if (name < 0) return nullptr;
    for (const ToolRecord& t : tools_)
        if (t.NameIndex == name) return t.Tool;
    return nullptr;
}

int ToolFramework::IconOf(const P_icon* tool) const {
    if (tool->IconButton == nullptr) return -1;
    for (std::size_t i = 0; i < icons_.size(); ++i)
        if (icons_[i].Button == tool->IconButton) return static_cast<int>(i);
    return -1;
}

// --- Icon button events -------------------------------------------------

void ToolFramework::IconClick(int icon) {
    const IconRecord& rec = icons_[static_cast<std::size_t>(icon)];
    panel_->KeepOnFocusLoss = true;
    SelectTool(tools_[static_cast<std::size_t>(rec.Current)].Tool, true, rec.Current);
    panel_->KeepOnFocusLoss = false;
}

void ToolFramework::IconPress(int icon, Qt::MouseButtons buttons) {
    panelTimer_.stop();
    const IconRecord& rec = icons_[static_cast<std::size_t>(icon)];
    panel_->close();
    if ((buttons & Qt::RightButton) && rec.Secondary != nullptr) {
        SelectTool(rec.Secondary, true, -1);
        return;
    }
    if (rec.Count >= 2) {
        panelIcon_ = icon;
        panelTimer_.start();
    }
}

void ToolFramework::IconRelease() {
    panelTimer_.stop();
    if (panel_->isVisible()) {
        panel_->activateWindow();
        panel_->setFocus();
    }
}

void ToolFramework::ShowIconPanel() {
    panelTimer_.stop();
    panel_->close();
    if (panelIcon_ < 0 || panelIcon_ >= static_cast<int>(icons_.size())) return;
    const IconRecord& rec = icons_[static_cast<std::size_t>(panelIcon_)];
    std::vector<TIconPanel::Variant> variants;
    for (int i = rec.First; i < rec.First + rec.Count; ++i)
        variants.push_back(
            {tools_[static_cast<std::size_t>(i)].Glyph, tools_[static_cast<std::size_t>(i)].Name});
    panel_->Layout(variants, rec.Columns);
    const QPoint at = rec.Button->mapToGlobal(QPoint(0, 0));
    const QScreen* screen = rec.Button->screen();
    const QRect area = screen != nullptr ? screen->geometry() : QRect(0, 0, 1 << 16, 1 << 16);
    panel_->move(TIconPanel::Placement(at, kButtonSize, panel_->size(), area.left(), area.right()));
    panel_->Origin = rec.Button;
    panel_->show();
}

void ToolFramework::IconSelected(int variant) {
    if (panelIcon_ < 0) return;
    IconRecord& rec = icons_[static_cast<std::size_t>(panelIcon_)];
    if (variant >= rec.Count) return;
    const int index = rec.First + variant;
    rec.Button->setIcon(QIcon(tools_[static_cast<std::size_t>(index)].Glyph));
    rec.Current = index;
    SelectTool(tools_[static_cast<std::size_t>(index)].Tool, true, index);
    panel_->close();
}

// --- Tool hot keys -------------------------------------------------------

bool ToolFramework::ToolKey(int keyValue) {
    for (IconRecord& rec : icons_) {
        if (rec.Secondary != nullptr && rec.SecondaryHotKey != 0 &&
            keyValue == rec.SecondaryHotKey) {
            SelectTool(rec.Secondary, true, -1);
            return true;
        }
        if (rec.HotKey == 0 || keyValue != rec.HotKey) continue;
        if (tools_[static_cast<std::size_t>(rec.Current)].Tool == Current && State == csIdle)
            rec.Current = rec.Current + 1 < rec.First + rec.Count ? rec.Current + 1 : rec.First;
        SelectTool(tools_[static_cast<std::size_t>(rec.Current)].Tool, true, rec.Current);
        return true;
    }
    return false;
}

} // namespace kv
