// The popup menus' export and import of contact files, driven through the
// window's menu items with the file dialog answered by the seam.
#include <gtest/gtest.h>

#include <QAction>
#include <QTreeView>

#include "gui_helpers.h"
#include "src/TfmMain.h"
#include "tests/support/TestFiles.h"

namespace guitest {
namespace {

class ExchangeWindowTest : public GuiTest {
protected:
    void MakeSides(const std::vector<Contact>& palm, const std::vector<Contact>& wab)
    {
        ASSERT_TRUE(WritePalmFile(File("address.dat"), palm));
        ASSERT_TRUE(WriteWabFile(File("book.wab"), wab));
        WriteIni({"DatFile=" + File("address.dat"), "WabFile=" + File("book.wab")});
    }
};

TEST_F(ExchangeWindowTest, ExportFromOneListAndImportIntoTheOther)
{
    MakeSides({{"Hal", "Home", "hal@example.org", "Home & Co", "", "1 Elm Street", "Springfield"},
               {"Ivy", "Inkwell", "ivy@example.org", "", "", "", ""}},
              {});
    auto pWindow = OpenMain();
    auto* lvOE = Find<QTreeView>(pWindow.get(), "lvOE");

    // Export the Palm list as Google CSV (filter 2); the name gets ".csv".
    const std::string base = File("palm");
    seam.contactFileAnswers = {{QString::fromStdString(base), 2}};
    Find<QAction>(pWindow.get(), "pmiPDExportAll")->trigger();
    ASSERT_EQ(seam.messages.size(), 1u);
    EXPECT_EQ(seam.messages[0].strCaption, QStringLiteral("Information")) << seam.messages[0].strText.toStdString();
    EXPECT_TRUE(seam.messages[0].strText.contains(QStringLiteral("Exported 2 contacts")));
    const std::string csv = vwtest::ReadFileText(base + ".csv");
    EXPECT_EQ(csv.rfind("Name,Given Name,", 0), 0u) << csv.substr(0, 40);

    // Import it into the empty address book with "All Files" (format from the content).
    seam.contactFileAnswers = {{QString::fromStdString(base + ".csv"), 3}};
    Find<QAction>(pWindow.get(), "pmiOEImport")->trigger();
    ASSERT_EQ(seam.messages.size(), 2u);
    EXPECT_EQ(seam.messages[1].strCaption, QStringLiteral("Information")) << seam.messages[1].strText.toStdString();
    EXPECT_TRUE(seam.messages[1].strText.contains(QStringLiteral("2 added"))) << seam.messages[1].strText.toStdString();
    EXPECT_EQ(Captions(lvOE).size(), 2);
    EXPECT_EQ(ReadWabFile(File("book.wab")),
              (std::vector<std::string>{"Hal Home <hal@example.org> Home & Co", "Ivy Inkwell <ivy@example.org> "}));
    // Both sides now compare the same: nothing is ticked.
    EXPECT_FALSE(IsTicked(lvOE, 0));
    EXPECT_FALSE(IsTicked(lvOE, 1));

    // A cancelled dialog does nothing; "Export Ticked" with nothing ticked says so.
    seam.contactFileAnswers = {{QString(), 0}};
    Find<QAction>(pWindow.get(), "pmiOEImport")->trigger();
    EXPECT_EQ(seam.messages.size(), 2u);
    Find<QAction>(pWindow.get(), "pmiOEClear")->trigger();
    Find<QAction>(pWindow.get(), "pmiOEExportTicked")->trigger();
    ASSERT_EQ(seam.messages.size(), 3u);
    EXPECT_TRUE(seam.messages[2].strText.contains(QStringLiteral("tick")));
    EXPECT_EQ(seam.contactFileRequests,
              (QStringList{"save Export Palm Desktop Contacts", "open Import Contacts into Outlook Express",
                           "open Import Contacts into Outlook Express"}));
}

}  // namespace
}  // namespace guitest
