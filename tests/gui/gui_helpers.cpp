#include "gui_helpers.h"

#include <filesystem>
#include <fstream>
#include <sstream>

#include <QApplication>
#include <QMouseEvent>

#include "common/misc/AppFolder.h"
#include "common/misc/CommAddrRecord.h"
#include "common/misc/CxDebugUtil.h"
#include "common/oe/CxWab.h"
#include "platform/profile/PrivateProfile.h"
#include "src/TfmMain.h"
#include "tools/datgen/DatGen.h"

namespace guitest {

namespace {

// One application object for the whole test program, made before the
// first test and destroyed after the last.
class QtEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        static int s_argc = 1;
        static char s_arg0[] = "test_gui";
        static char* s_argv[] = {s_arg0, nullptr};
        m_pApplication = new QApplication(s_argc, s_argv);
    }
    void TearDown() override
    {
        delete m_pApplication;
        m_pApplication = nullptr;
    }

private:
    QApplication* m_pApplication = nullptr;
};

[[maybe_unused]] ::testing::Environment* const g_pQtEnvironment =
    ::testing::AddGlobalTestEnvironment(new QtEnvironment);

}  // namespace

// ---- FakeSeam ---------------------------------------------------------------

void FakeSeam::ShowMessage(QWidget*, const QString& strText, const QString& strCaption, int nIcon)
{
    messages.push_back({strText, strCaption, nIcon});
}

bool FakeSeam::GetContactFileName(QWidget*, bool bSave, const QString& strTitle, const std::vector<FileFilter>&,
                                  QString* pstrPath, int* pnFilter)
{
    contactFileRequests << (bSave ? QStringLiteral("save ") : QStringLiteral("open ")) + strTitle;
    if (contactFileAnswers.empty())
        return false;
    const auto [strAnswer, nFilter] = contactFileAnswers.front();
    contactFileAnswers.pop_front();
    if (strAnswer.isEmpty())
        return false;
    *pstrPath = strAnswer;
    *pnFilter = nFilter;
    return true;
}

bool FakeSeam::GetOpenFileName(QWidget*, const QString& strTitle, const std::vector<FileFilter>& filters,
                               QString* pstrPath)
{
    openRequests.push_back({strTitle, filters, *pstrPath});
    if (openAnswers.empty())
        return false;
    const QString strAnswer = openAnswers.front();
    openAnswers.pop_front();
    if (strAnswer.isEmpty())
        return false;
    *pstrPath = strAnswer;
    return true;
}

bool FakeSeam::GetExistingFolder(QWidget*, const QString& strTitle, QString* pstrFolder)
{
    folderRequests.push_back({strTitle, {}, *pstrFolder});
    if (folderAnswers.empty())
        return false;
    const QString strAnswer = folderAnswers.front();
    folderAnswers.pop_front();
    if (strAnswer.isEmpty())
        return false;
    *pstrFolder = strAnswer;
    return true;
}

bool FakeSeam::ChooseColor(QWidget*, int* pnColor)
{
    if (colorAnswers.empty())
        return false;
    const int nAnswer = colorAnswers.front();
    colorAnswers.pop_front();
    if (nAnswer < 0)
        return false;
    *pnColor = nAnswer;
    return true;
}

int FakeSeam::RunModal(QDialog* pDialog)
{
    modalDialogs << pDialog->objectName();
    pDialog->setResult(0);
    if (!modalScripts.empty()) {
        const std::function<void(QDialog*)> script = modalScripts.front();
        modalScripts.pop_front();
        script(pDialog);
    }
    return pDialog->result() == 0 ? kModalCancel : pDialog->result();
}

bool FakeSeam::OpenUrl(const QUrl& url)
{
    openedUrls.push_back(url);
    return true;
}

// ---- GuiTest ----------------------------------------------------------------

void GuiTest::SetUp()
{
    SetIniFilePathOverride(IniPath().c_str());
    g_DebugUtil.SetFolder((Dir() + "/").c_str());
    SetDialogSeam(&seam);
}

void GuiTest::TearDown()
{
    SetDialogSeam(nullptr);
    SetIniFilePathOverride(nullptr);
    g_DebugUtil.SetFolder("./");
}

void GuiTest::WriteIni(const std::vector<std::string>& keys, const std::string& strMore) const
{
    std::ofstream out(IniPath(), std::ios::trunc);
    out << "[iSysVal]\n";
    for (const std::string& line : keys)
        out << line << "\n";
    out << strMore;
}

std::string GuiTest::IniValue(const std::string& key) const
{
    char szValue[MAX_PATH] = {};
    GetPrivateProfileStringA("iSysVal", key.c_str(), "", szValue, sizeof szValue, IniPath().c_str());
    return szValue;
}

std::unique_ptr<TfmMain> GuiTest::OpenMain()
{
    auto pWindow = std::make_unique<TfmMain>();
    pWindow->show();
    return pWindow;
}

// ---- Fixtures -----------------------------------------------------------------

bool WritePalmFile(const std::string& path, const std::vector<Contact>& contacts)
{
    std::ostringstream text;
    text << "format extended\n";
    for (const Contact& contact : contacts) {
        text << "record\n";
        int nPhone = 0;
        auto line = [&text](const char* pszName, const std::string& value) {
            if (!value.empty())
                text << pszName << " " << value << "\n";
        };
        line("first", contact.first);
        line("last", contact.last);
        line("company", contact.company);
        line("street2", contact.homeStreet);
        line("city2", contact.homeCity);
        if (!contact.email.empty()) {
            ++nPhone;
            text << "phone" << nPhone << " " << contact.email << "\nlabel" << nPhone << " 4\n";
        }
        if (!contact.fax.empty()) {
            ++nPhone;
            text << "phone" << nPhone << " " << contact.fax << "\nlabel" << nPhone << " 2\n";
        }
    }
    datgen::DatDescription description;
    std::string strError;
    if (!datgen::ParseDescription(text.str(), description, strError)) {
        ADD_FAILURE() << strError;
        return false;
    }
    return datgen::WriteBytesToFile(path, datgen::BuildFile(description));
}

bool WriteWabFile(const std::string& path, const std::vector<Contact>& contacts)
{
    CxWab wab(nullptr);
    if (!wab.OpenAddressBook(path.c_str()))
        return false;
    for (const Contact& contact : contacts) {
        CommAddrRecord record;
        ZeroCommRecord(&record);
        SetTextField(&record, CF_FIRST_NAME, contact.first.c_str());
        SetTextField(&record, CF_LAST_NAME, contact.last.c_str());
        SetTextField(&record, CF_EMAIL, contact.email.c_str());
        SetTextField(&record, CF_COMPANY, contact.company.c_str());
        SetTextField(&record, CF_WORK_FAX, contact.fax.c_str());
        SetTextField(&record, CF_HOME_STREET, contact.homeStreet.c_str());
        SetTextField(&record, CF_HOME_CITY, contact.homeCity.c_str());
        if (!wab.AddContact(&record))
            return false;
    }
    // A book is made by its first save; an empty one is an empty file.
    if (contacts.empty() && !std::filesystem::exists(path))
        return std::ofstream(path).good();
    return true;
}

std::vector<std::string> ReadWabFile(const std::string& path)
{
    std::vector<std::string> entries;
    CxWab wab(nullptr);
    if (!wab.OpenAddressBook(path.c_str()))
        return entries;
    for (WabRecord* pEntry = wab.GetFirstEntry(); pEntry != nullptr; pEntry = wab.GetNextEntry())
        entries.push_back(std::string(pEntry->PR_GIVEN_NAME) + " " + pEntry->PR_SURNAME + " <" +
                          pEntry->PR_EMAIL_ADDRESS + "> " + pEntry->PR_COMPANY_NAME);
    return entries;
}

// ---- Lists --------------------------------------------------------------------

QStringList Headers(const QTreeView* pView)
{
    QStringList headers;
    const QAbstractItemModel* pModel = pView->model();
    for (int nColumn = 0; nColumn < pModel->columnCount(); ++nColumn)
        headers << pModel->headerData(nColumn, Qt::Horizontal).toString();
    return headers;
}

QStringList Captions(const QTreeView* pView)
{
    QStringList captions;
    for (int nRow = 0; nRow < pView->model()->rowCount(); ++nRow)
        captions << Cell(pView, nRow, 0);
    return captions;
}

QString Cell(const QTreeView* pView, int nRow, int nColumn)
{
    return pView->model()->index(nRow, nColumn).data().toString();
}

bool IsTicked(const QTreeView* pView, int nRow)
{
    return pView->model()->index(nRow, 0).data(Qt::CheckStateRole).toInt() == Qt::Checked;
}

int RowColor(const QTreeView* pView, int nRow)
{
    const QVariant color = pView->model()->index(nRow, 1 % pView->model()->columnCount()).data(Qt::ForegroundRole);
    const QVariant captionColor = pView->model()->index(nRow, 0).data(Qt::ForegroundRole);
    EXPECT_EQ(color, captionColor) << "caption and sub-items take one colour";
    if (!captionColor.isValid())
        return -1;
    return QColorToColorRef(captionColor.value<QColor>());
}

void SetTicked(QTreeView* pView, int nRow, bool bTicked)
{
    EXPECT_TRUE(pView->model()->setData(pView->model()->index(nRow, 0), bTicked ? Qt::Checked : Qt::Unchecked,
                                        Qt::CheckStateRole));
}

void SelectRow(QTreeView* pView, int nRow)
{
    pView->selectionModel()->select(pView->model()->index(nRow, 0),
                                    QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void ClickPanel(QWidget* pWidget)
{
    const QPointF local(5, 5);
    QMouseEvent release(QEvent::MouseButtonRelease, local, pWidget->mapToGlobal(local), Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QApplication::sendEvent(pWidget, &release);
}

}  // namespace guitest
