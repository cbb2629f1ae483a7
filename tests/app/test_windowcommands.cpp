#include "app/aboutbox.h"
#include "app/startup.h"
#include "app/tfmverify.h"

#include "appfixture.h"
#include "platform/registry.h"

#include <QAction>
#include <QApplication>
#include <QTest>
#include <QToolButton>

#include <filesystem>
#include <memory>

using namespace quorvel;
namespace fs = std::filesystem;

namespace {

class WindowCommandsTest : public test::AppFixture {
protected:
    void TearDown() override
    {
        window_.reset();
        AppFixture::TearDown();
    }

    void trigger(const char *name)
    {
        window_->findChild<QAction *>(QString::fromLatin1(name))->trigger();
    }

    static std::string hkeyLocalMachine()
    {
        return test::readFile(platform::registryFolder() / "HKEY_LOCAL_MACHINE.reg");
    }

    std::unique_ptr<TTfmVerify> window_;
};

TEST_F(WindowCommandsTest, AboutFromMenuAndToolbarShowsTheOneBoxCreatedAtStartUp)
{
    window_ = startQuorvel();
    const auto boxes = [] {
        int count = 0;
        for (QWidget *widget : QApplication::topLevelWidgets())
            count += widget->objectName() == QStringLiteral("AboutBox");
        return count;
    };
    EXPECT_EQ(boxes(), 1);
    auto *box = window_->findChild<TAboutBox *>(QStringLiteral("AboutBox"));
    ASSERT_NE(box, nullptr);
    EXPECT_FALSE(box->isVisible());

    trigger("About1");
    QTest::mouseClick(window_->AboutToolButton(), Qt::LeftButton);

    EXPECT_TRUE(box->isVisible());
    EXPECT_FALSE(box->isModal());
    EXPECT_EQ(boxes(), 1);
}

TEST_F(WindowCommandsTest, EditMenuAddsAndRemovesTheBrowserButtonBesideTheProgram)
{
    window_ = std::make_unique<TTfmVerify>();

    trigger("AddbuttontoVIRevubar1");
    const std::string added = hkeyLocalMachine();
    EXPECT_NE(added.find("\"Exec\"=\"" + window_->ProgramFolder + "Quorvel.Exe\""),
              std::string::npos);
    EXPECT_NE(added.find("\"Validate Favorites\"="), std::string::npos);

    trigger("AddbuttontoVIRevubar1");
    EXPECT_EQ(hkeyLocalMachine(), added);

    trigger("RemovebuttonfromVIRevubar1");
    const std::string removed = hkeyLocalMachine();
    EXPECT_EQ(removed.find("Validate"), std::string::npos);
    EXPECT_EQ(removed.find("{"), std::string::npos);
    EXPECT_TRUE(errors_.isEmpty());
}

TEST_F(WindowCommandsTest, UnwritableHiveShowsTheRegistryErrorAndRegistersNothing)
{
    window_ = std::make_unique<TTfmVerify>();
    const fs::path folder = platform::registryFolder();
    fs::create_directories(folder);
    // Write permission is refused by mode, which the registry honours even for root.
    fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec);

    trigger("AddbuttontoVIRevubar1");

    fs::permissions(folder, fs::perms::owner_all);
    ASSERT_EQ(errors_.size(), 1);
    // The quote closing the value name sorts before '.', so no full stop is added.
    EXPECT_EQ(errors_[0], QStringLiteral("Failed to set data for 'Default Visible'"));
    EXPECT_FALSE(fs::exists(folder / "HKEY_LOCAL_MACHINE.reg"));
}

} // namespace
