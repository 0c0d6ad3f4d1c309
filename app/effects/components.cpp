#include "effects/components.h"

#include "effects/compform.h"
#include "keys.h"
#include "lang.h"
#include "log.h"
#include "message.h"
#include "tools/framework.h"

#include <QAction>
#include <QImage>
#include <QMenu>

#include <cstring>
#include <filesystem>

namespace kv {

namespace {

constexpr int kIconHotKey = 'I';
constexpr int kIconColumns = 8;

// A menu holding exactly one item gets a separator before the next one.
void AddItem(QMenu* menu, QAction* action) {
    if (menu->actions().size() == 1) menu->addSeparator();
    menu->addAction(action);
}

QPixmap IconPixmap(const pixkit::Buffer& b) {
    QImage image(b.Width(), b.Height(), QImage::Format_RGB32);
    for (int y = 0; y < b.Height(); ++y)
        std::memcpy(image.scanLine(y), b.At(b.Area.Left, b.Area.Top + y),
                    static_cast<std::size_t>(b.Width()) * 4);
    return QPixmap::fromImage(image.scaled(24, 24, Qt::KeepAspectRatio, Qt::SmoothTransformation));
}

} // namespace

ComponentTools::ComponentTools(EffectHost& host) : Effect(host, Comps), Brush(host, Comps) {}

void ComponentTools::Scan(const std::vector<std::string>& roots) {
    roots_ = roots;
    Comps = ScanComponents(roots, [](const std::string& line) { LogLine(line); });
}

bool ComponentTools::RegisterIcons(ToolFramework& tools) {
    bool first = true;
    for (ComponentRecord& rec : Comps.Components) {
        pixkit::Buffer icon;
        if (rec.Desc.Icon.empty() || !DecodeIcon(rec.Icon, icon)) continue;
        const int before = static_cast<int>(tools.ToolTable().size());
        tools.RegisterTool(IconPixmap(icon), &Brush, kIconHotKey, 1, rec.Desc.Name.c_str(),
                           first ? kIconColumns : 0);
        if (static_cast<int>(tools.ToolTable().size()) > before) rec.IconTool = before;
        first = false;
    }
    return !first;
}

void ComponentTools::BuildMenu(QMenu* effects, const std::function<void(int)>& choose,
                               const std::function<void(int)>& browse) {
    effects_ = effects;
    choose_ = choose;
    browse_ = browse;
    std::vector<QMenu*> folders(Comps.Folders.size(), nullptr);
    auto menuOf = [&](int folder) -> QMenu* {
        if (folder < 0) return effects;
        QMenu*& m = folders[static_cast<std::size_t>(folder)];
        if (m == nullptr) {
            m = new QMenu("&" + ComponentText(Comps.Folders[static_cast<std::size_t>(folder)]),
                          effects);
            m->setObjectName(QString("EffectsFolder%1").arg(folder + 1));
            AddItem(effects, m->menuAction());
        }
        return m;
    };
    for (std::size_t i = 0; i < Comps.Components.size(); ++i) {
        const ComponentRecord& rec = Comps.Components[i];
        QMenu* menu = menuOf(rec.Folder);
        auto* item = new QAction("&" + ComponentText(rec.Desc.Name), menu);
        item->setObjectName(QString("Component%1").arg(i));
        QObject::connect(item, &QAction::triggered, menu,
                         [choose, i] { choose(static_cast<int>(i)); });
        AddItem(menu, item);
    }
    for (std::size_t f = 0; f < folders.size(); ++f) {
        QMenu* m = folders[f];
        if (m == nullptr) continue;
        auto* item = new QAction(QString::fromStdString(Translate(key::Browse)), m);
        item->setObjectName(QString("BrowseEffects%1").arg(f + 1));
        QObject::connect(item, &QAction::triggered, m,
                         [browse, f] { browse(static_cast<int>(f)); });
        AddItem(m, item);
        m->addSeparator();
    }
}

bool ComponentTools::Add(const std::string& file) {
    const std::optional<int> folder = FolderOfFile(roots_, file, Comps);
    if (!folder || effects_ == nullptr) return false;
    ComponentRecord rec;
    KvcRunner runner;
    if (!DescribeComponent(runner, file, rec).empty()) return false;
    rec.Folder = *folder;
    std::error_code ec;
    auto& all = Comps.Components;
    const auto same = std::find_if(all.begin(), all.end(), [&](const ComponentRecord& r) {
        return std::filesystem::equivalent(r.File, file, ec);
    });
    if (same != all.end())
        *same = std::move(rec);
    else if (static_cast<int>(all.size()) < kMaxComponents)
        all.push_back(std::move(rec));
    else
        return false;
    // The menu is made again; the old folder menus go with their items.
    for (QAction* a : effects_->actions())
        if (QMenu* m = a->menu(); m != nullptr && m->parent() == effects_) {
            m->setParent(nullptr);
            m->deleteLater();
        }
    effects_->clear();
    BuildMenu(effects_, choose_, browse_);
    return true;
}

void ComponentTools::ReportProblems() const {
    if (Comps.Problems.empty()) return;
    std::string text = Translate(key::CompsRefused);
    for (const std::string& p : Comps.Problems) text += "\n" + p;
    ShowMessage(text, Translate(key::Err), kExclamation);
}

} // namespace kv
