// The program's own file dialogs (not the test stand-ins): the open dialog
// starts at the "All" entry, and picking another type in the save dialog
// gives the typed name that type's extension.
#include "harness.h"

#include "files/filecommands.h"
#include "files/filenames.h"

#include <pixkit/gfxfile.h>

#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QTimer>

namespace fs = std::filesystem;
using kvtest::KvTest;

namespace {

// Runs fn on the modal file dialog once it is up.
void WhenDialogShows(std::function<void(QFileDialog&)> fn) {
    auto poll = std::make_shared<std::function<void()>>();
    *poll = [fn, poll] {
        if (auto* d = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
            fn(*d);
            return;
        }
        QTimer::singleShot(10, *poll);
    };
    QTimer::singleShot(0, *poll);
}

// The 1-based entry of the save filter that holds mask.
int EntryWith(const std::string& filter, const std::string& mask) {
    const auto entries = kv::SplitFilter(filter);
    for (std::size_t i = 0; i + 1 < entries.size(); ++i)
        for (const std::string& m : entries[i].Masks)
            if (m == mask) return static_cast<int>(i) + 1;
    return 0;
}

TEST_F(KvTest, SaveDialogTypeChangeGivesTheNameThatTypesExtension) {
    Run({}, [this](kv::TMainForm& form) {
        kv::UDBuffer& doc = form.Docs().CurrentImage();
        doc.Alloc({6, 4});
        doc.Box(doc.Area, 0x3366CC);
        const fs::path bmp = root_ / "pic.bmp";
        pixkit::GFXtra32 extra{0, 0, 0, 0, 1};
        pixkit::GFXFile::Save(doc, bmp.string(), &extra, nullptr);
        doc.FileName = bmp.string();
        doc.FileState = 0;
        const std::string filter = kv::BuildFilter(kv::FilterKind::Save, "All").Text;
        const int bmpEntry = EntryWith(filter, "*.BMP");
        const int jpgEntry = EntryWith(filter, "*.JPG");
        ASSERT_GT(bmpEntry, 0);
        ASSERT_GT(jpgEntry, 0);
        std::string typedAfterChange;
        int shownEntry = 0;
        WhenDialogShows([&](QFileDialog& d) {
            auto* types = d.findChild<QComboBox*>("fileTypeCombo");
            auto* name = d.findChild<QLineEdit*>("fileNameEdit");
            ASSERT_NE(types, nullptr);
            ASSERT_NE(name, nullptr);
            shownEntry = types->currentIndex() + 1;
            // As the user picks it.
            types->setCurrentIndex(jpgEntry - 1);
            Q_EMIT types->activated(jpgEntry - 1);
            typedAfterChange = name->text().toStdString();
            QMetaObject::invokeMethod(&d, "accept");
        });
        form.MenuCommand("SaveAs1")->trigger();
        EXPECT_EQ(shownEntry, bmpEntry);
        EXPECT_EQ(typedAfterChange, "pic.jpg");
        EXPECT_TRUE(fs::exists(root_ / "pic.jpg"));
        EXPECT_EQ(form.Docs().CurrentImage().FileName, (root_ / "pic.jpg").string());
    });
    EXPECT_TRUE(shown_.empty());
}

TEST_F(KvTest, OpenDialogStartsAtAllAndOpensThePickedFile) {
    Run({}, [this](kv::TMainForm& form) {
        pixkit::Buffer image;
        image.Alloc({5, 3});
        image.Box(image.Area, 0x00FF00);
        const fs::path file = root_ / "green.pcx";
        pixkit::GFXtra32 extra{0, 0, 0, 0, 1};
        pixkit::GFXFile::Save(image, file.string(), &extra, nullptr);
        int shownEntry = 0, entries = 0;
        WhenDialogShows([&](QFileDialog& d) {
            auto* types = d.findChild<QComboBox*>("fileTypeCombo");
            ASSERT_NE(types, nullptr);
            shownEntry = types->currentIndex() + 1;
            entries = types->count();
            d.selectFile(QString::fromStdString(file.string()));
            QMetaObject::invokeMethod(&d, "accept");
        });
        form.MenuCommand("Open1")->trigger();
        EXPECT_EQ(shownEntry, entries);
        EXPECT_EQ(entries, kv::BuildFilter(kv::FilterKind::Open, "All").Count);
        kv::UDBuffer& doc = form.Docs().CurrentImage();
        EXPECT_EQ(doc.FileName, file.string());
        ASSERT_EQ(doc.Width(), 5);
        EXPECT_EQ(*doc.At(4, 2) & 0xFFFFFF, 0x00FF00u);
        EXPECT_EQ(form.Files().LastDirectory(), root_.string());
    });
}

} // namespace
