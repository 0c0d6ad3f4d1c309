// The preferences dialog: pages "General", "Extens" (file-type links) and
// "Language". Palette size, anti-aliasing and the recent-files length take
// effect live through the hooks while the dialog is open; the caller
// applies the rest on Ok and undoes the live effects on Cancel.
#pragma once

#include "preferences.h"
#include "prefs/extens.h"

#include <QDialog>

#include <functional>
#include <string>
#include <vector>

class QCheckBox;
class QComboBox;
class QFormLayout;
class QListWidget;
class QRadioButton;
class QSpinBox;
class QTabWidget;

namespace kv {

struct FormatEntry {
    std::string Desc; // "Windows Bitmap"
    std::string Mask; // "*.BMP;*.DIB"
};

struct PrefsLiveHooks {
    std::function<void(int paletteIndex)> Palette;
    std::function<void(bool antiAlias)> AntiAlias;
    std::function<void(int length)> RecentLength;
};

class TPreferences : public QDialog {
    Q_OBJECT

  public:
    static constexpr int kHelpContext = 1510;
    TPreferences(QWidget* parent, const Preferences& current, std::vector<FormatEntry> formats,
                 const std::vector<LinkState>& linkStates,
                 const std::vector<std::string>& languages, PrefsLiveHooks hooks);

    // The values as the dialog shows them (Language: the selected entry,
    // empty when none is).
    Preferences Chosen() const;
    LinkState ChosenLink(std::size_t format) const;
    LinkState InitialLink(std::size_t format) const { return initial_[format]; }
    const std::vector<FormatEntry>& Formats() const { return formats_; }

    QListWidget* ExtensList() const { return extens_; }
    QListWidget* LanguageList() const { return languages_; }
    QComboBox* PaletteEntries() const { return palette_; }
    QCheckBox* AntiAliasBox() const { return antiAlias_; }
    QSpinBox* FileListLength() const { return mru_; }
    QSpinBox* UndoMemory() const { return undoMemory_; }
    QSpinBox* UndoSteps() const { return undoSteps_; }
    QCheckBox* ClassicUndoBox() const { return classicUndo_; }
    QSpinBox* RecoverySeconds() const { return recovery_; }
    QRadioButton* ExpertButton() const { return expert_; }

    QTabWidget* Pages() const { return pages_; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QWidget* BuildGeneral(const Preferences& p);
    void AddUndoFields(QWidget* page, QFormLayout* form, const Preferences& p);
    QWidget* BuildExtens();
    QWidget* BuildLanguage(const std::vector<std::string>& languages, const std::string& current);

    std::vector<FormatEntry> formats_;
    std::vector<LinkState> initial_;
    PrefsLiveHooks hooks_;
    QCheckBox* clipping_ = nullptr;
    QCheckBox* optimBrush_ = nullptr;
    QCheckBox* antiAlias_ = nullptr;
    QCheckBox* backup_ = nullptr;
    QCheckBox* cacheThumbs_ = nullptr;
    QRadioButton* novice_ = nullptr;
    QRadioButton* expert_ = nullptr;
    QComboBox* palette_ = nullptr;
    QSpinBox* mru_ = nullptr;
    QSpinBox* undoMemory_ = nullptr;
    QSpinBox* undoSteps_ = nullptr;
    QCheckBox* classicUndo_ = nullptr;
    QSpinBox* recovery_ = nullptr;
    QCheckBox* pressure_ = nullptr;
    QSpinBox* minPressure_ = nullptr;
    QListWidget* extens_ = nullptr;
    QListWidget* languages_ = nullptr;
    QTabWidget* pages_ = nullptr;
};

} // namespace kv
