// The Options, custom field mapping and contact details dialogs, driven by
// their controls.

#include <cstring>
#include <fstream>

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>

#include "common/misc/CommAddrRecord.h"
#include "gui_helpers.h"
#include "src/TfmCustom.h"
#include "src/TfmDetail.h"
#include "src/TfmOption.h"
#include "src/core/SysSettings.h"
#include "src/core/TransferEngine.h"

namespace guitest {
namespace {

// Settings as a user might have them, with every postal-code flag set and
// colours that are not the defaults.
SysSettings SampleSettings()
{
    SysSettings settings{};
    settings.SyncMode = 2;
    settings.SwapName = 1;
    settings.SyncCustom = 1;
    settings.Custom[2] = 0x3A06001E;
    settings.ShowFirstName = 1;
    settings.ShowEmail = 1;
    settings.ShowHomePostal = 1;
    settings.ShowBusiPostal = 1;
    settings.ShowOtherPostal = 1;
    settings.SameColor = 0x010203;
    settings.ModifiedColor = 0x808000;
    settings.NewColor = 0x00FF7F;
    settings.DisableColor = true;
    return settings;
}

bool SameSettings(const SysSettings& a, const SysSettings& b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

class DialogsTest : public GuiTest { };

TEST_F(DialogsTest, OptionsRefusesAMissingAddressBookAndChangesNothing)
{
    struct Case {
        const char* pszWabName;
        const char* pszMessage;
    };
    const Case cases[] = {
        {"", "Please choose a Windows address book (*.wab) !"},
        {"/nonexistent/folder/book.wab", "WAB File doesn't exist, please choose another one!"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pszMessage);
        seam.messages.clear();
        SysSettings settings = SampleSettings();
        const SysSettings before = settings;
        TfmOption dialog(settings);
        Find<QRadioButton>(&dialog, "rbtnOther")->click();
        Find<QLineEdit>(&dialog, "edtWabName")->setText(QString::fromLatin1(c.pszWabName));
        Find<QCheckBox>(&dialog, "cbFax")->setChecked(true);  // a change on the other page
        dialog.setResult(0);
        Find<QPushButton>(&dialog, "sbtnOK")->click();

        ASSERT_EQ(seam.messages.size(), 1u);
        EXPECT_EQ(seam.messages[0].strText, c.pszMessage);
        EXPECT_EQ(seam.messages[0].strCaption, "Error");
        EXPECT_EQ(seam.messages[0].nIcon, kIconError);
        EXPECT_EQ(dialog.result(), 0) << "the dialog stays open";
        EXPECT_TRUE(SameSettings(settings, before));
    }
}

TEST_F(DialogsTest, OptionsConfirmedUntouchedChangesNothing)
{
    for (bool bOtherBook : {false, true}) {
        SysSettings settings = SampleSettings();
        if (bOtherBook) {
            std::ofstream(File("book.wab")) << "";
            CopyTextField(settings.WabFile, File("book.wab").c_str());
        }
        const SysSettings before = settings;
        TfmOption dialog(settings);
        Find<QPushButton>(&dialog, "sbtnOK")->click();
        EXPECT_EQ(dialog.result(), kModalOk);
        EXPECT_TRUE(SameSettings(settings, before)) << (bOtherBook ? "with a book of its own" : "default book");
        EXPECT_TRUE(seam.messages.empty());
    }
}

TEST_F(DialogsTest, OptionsConfirmsABookWhoseNameIsNoUtf8)
{
    // "Bücher" in Latin-1: a name the file system holds but UTF-8 cannot spell.
    const std::string book = File(
        "B\xFC"
        "cher.wab");
    std::ofstream(book) << "";
    SysSettings settings = SampleSettings();
    CopyTextField(settings.WabFile, book.c_str());
    TfmOption dialog(settings);
    Find<QPushButton>(&dialog, "sbtnOK")->click();
    EXPECT_EQ(dialog.result(), kModalOk);
    EXPECT_TRUE(seam.messages.empty()) << "the book is found under its own name";
    EXPECT_EQ(std::string(settings.WabFile), book) << "and kept byte for byte";
}

TEST_F(DialogsTest, OptionsStoresTheControlsOnOk)
{
    const std::string book = File("book.wab");
    std::ofstream(book) << "";
    SysSettings settings = SampleSettings();
    {
        TfmOption dialog(settings);
        EXPECT_EQ(Find<QTabWidget>(&dialog, "spMain")->currentWidget()->objectName(), "tGen");
        EXPECT_FALSE(Find<QLineEdit>(&dialog, "edtWabName")->isEnabled());
        Find<QRadioButton>(&dialog, "rbtnOther")->click();
        EXPECT_TRUE(Find<QLineEdit>(&dialog, "edtWabName")->isEnabled());
        seam.openAnswers = {QString::fromStdString(book)};
        Find<QPushButton>(&dialog, "sbtnBrowse")->click();
        Find<QCheckBox>(&dialog, "schkSwap")->setChecked(false);
        Find<QCheckBox>(&dialog, "chkEmail")->setChecked(true);
        Find<QCheckBox>(&dialog, "cbEmail")->setChecked(false);
        Find<QCheckBox>(&dialog, "cbDisableColor")->setChecked(false);
        seam.colorAnswers = {0x123456, -1};
        ClickPanel(Find<QFrame>(&dialog, "pnlSameColor"));
        ClickPanel(Find<QFrame>(&dialog, "pnlNewColor"));  // cancelled
        Find<QPushButton>(&dialog, "sbtnOK")->click();
        EXPECT_EQ(dialog.result(), kModalOk);
    }
    EXPECT_EQ(settings.WabFile, book);
    EXPECT_EQ(settings.SwapName, 0);
    EXPECT_EQ(settings.EmailOnly, 1);
    EXPECT_EQ(settings.ShowEmail, 0);
    EXPECT_EQ(settings.ShowFirstName, 1);
    EXPECT_FALSE(settings.DisableColor);
    EXPECT_EQ(settings.SameColor, 0x123456);
    EXPECT_EQ(settings.NewColor, 0x00FF7F);
    ASSERT_EQ(seam.openRequests.size(), 1u);
    EXPECT_EQ(seam.openRequests[0].strTitle, "Open Windows Address Book File");

    // Back to the default book.
    TfmOption dialog(settings);
    EXPECT_EQ(Find<QLineEdit>(&dialog, "edtWabName")->text().toStdString(), book);
    Find<QRadioButton>(&dialog, "rbtnDefault")->click();
    Find<QPushButton>(&dialog, "sbtnOK")->click();
    EXPECT_STREQ(settings.WabFile, "");
}

TEST_F(DialogsTest, MappingConfirmedInItsDialogSurvivesCancellingOptions)
{
    SysSettings settings = SampleSettings();
    settings.SyncCustom = 0;
    TfmOption dialog(settings);
    auto* sbtnCustom = Find<QPushButton>(&dialog, "sbtnCustom");
    EXPECT_FALSE(sbtnCustom->isEnabled());
    Find<QCheckBox>(&dialog, "schkCustom")->click();
    ASSERT_TRUE(sbtnCustom->isEnabled());

    seam.modalScripts = {[](QDialog* pCustom) {
        Find<QComboBox>(pCustom, "cbCustom1")->setCurrentIndex(2);  // "Email Address"
        Find<QPushButton>(pCustom, "sbtnOK")->click();
    }};
    sbtnCustom->click();
    Find<QPushButton>(&dialog, "sbtnCancel")->click();
    EXPECT_EQ(dialog.result(), kModalCancel);
    EXPECT_EQ(seam.modalDialogs, QStringList{"fmCustom"});
    EXPECT_EQ(settings.Custom[0], 0x3003001E);
    EXPECT_EQ(settings.SyncCustom, 0) << "the Options dialog itself was cancelled";
}

TEST_F(DialogsTest, MappingShowsEachTagAndWritesBackEveryBox)
{
    struct Case {
        LONG nVersion;
        bool bLateBoxesEnabled;
    };
    for (const Case& c : {Case{40101, false}, Case{-1, false}, Case{40102, true}}) {
        SCOPED_TRACE(c.nVersion);
        int ids[9] = {0, 0, 973471774, 12345, 0x3A4D0002, 0x0000FFFF, 0, 0, 0x3A58101E};
        TfmCustom dialog(nullptr, c.nVersion);
        dialog.SetCustomIDs(ids);
        const int expectedIndex[9] = {0, 0, 5, 0, 61, 65, 0, 0, 64};
        for (int i = 0; i < 9; ++i) {
            auto* pBox = Find<QComboBox>(&dialog, ("cbCustom" + std::to_string(i + 1)).c_str());
            ASSERT_EQ(pBox->count(), 66);
            EXPECT_EQ(pBox->currentIndex(), expectedIndex[i]) << "box " << i + 1;
            EXPECT_EQ(pBox->isEnabled(), i < 4 || c.bLateBoxesEnabled) << "box " << i + 1;
        }
        EXPECT_EQ(Find<QComboBox>(&dialog, "cbCustom3")->currentText(), "First Name");
        EXPECT_EQ(Find<QComboBox>(&dialog, "cbCustom4")->currentText(), "None");

        Find<QPushButton>(&dialog, "sbtnOK")->click();
        EXPECT_EQ(dialog.result(), kModalOk);
        const int written[9] = {0, 0, 973471774, 0, 0x3A4D0002, 0x0000FFFF, 0, 0, 0x3A58101E};
        for (int i = 0; i < 9; ++i)
            EXPECT_EQ(ids[i], written[i]) << "Custom" << i + 1;
    }

    int ids[9] = {12345, 0, 0, 0, 0, 0, 0, 0, 0};
    TfmCustom dialog(nullptr, 40102);
    dialog.SetCustomIDs(ids);
    Find<QComboBox>(&dialog, "cbCustom2")->setCurrentIndex(3);
    Find<QPushButton>(&dialog, "sbtnCancel")->click();
    EXPECT_EQ(dialog.result(), kModalCancel);
    EXPECT_EQ(ids[0], 12345);
    EXPECT_EQ(ids[1], 0);
}

TEST_F(DialogsTest, DetailsShowTheRecordAsStoredAndCloseWithCancel)
{
    CommAddrRecord record;
    ZeroCommRecord(&record);
    SetTextField(&record, CF_LAST_NAME, "Home");
    SetTextField(&record, CF_MOBILE_PHONE, " 555-0199 ");
    SetTextField(&record, CF_HOME_STREET, "1 Elm Street");
    SetTextField(&record, CF_HOME_COUNTRY, "Fr\xE9nce");  // Windows-1252 e acute

    TfmDetail dialog;
    dialog.FillControls();  // no record yet: nothing happens
    EXPECT_EQ(Find<QLineEdit>(&dialog, "edtLastName")->text(), "");
    dialog.SetRecord(&record);
    dialog.FillControls();
    EXPECT_EQ(Find<QTabWidget>(&dialog, "pcAddress")->currentWidget()->objectName(), "tsBusiness");
    EXPECT_EQ(Find<QLineEdit>(&dialog, "edtLastName")->text(), "Home");
    EXPECT_EQ(Find<QLineEdit>(&dialog, "edtMobile")->text(), " 555-0199 ");
    EXPECT_EQ(Find<QLineEdit>(&dialog, "edtHomeStreet")->text(), "1 Elm Street");
    EXPECT_EQ(Find<QLineEdit>(&dialog, "edtHomeCountry")->text(), QString::fromUtf8("Fr\u00e9nce"));
    for (const char* pszBox : {"edtWorkStreet", "edtWorkCity", "edtWorkState", "edtWorkPostal", "edtWorkCountry"})
        EXPECT_EQ(Find<QLineEdit>(&dialog, pszBox)->text(), "") << pszBox;

    Find<QLineEdit>(&dialog, "edtLastName")->setText("Typed");
    Find<QPushButton>(&dialog, "btnCancel")->click();
    EXPECT_EQ(dialog.result(), kModalCancel);
    EXPECT_STREQ(record.szLastName, "Home") << "nothing is written back";
}

}  // namespace
}  // namespace guitest
