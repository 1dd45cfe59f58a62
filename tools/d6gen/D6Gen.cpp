#include "tools/d6gen/D6Gen.h"

#include <sqlite3.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <random>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The date constant of Palm Desktop 6 birthdays and anniversaries: the
// stored value minus it is the OLE Automation day number.
constexpr long long kDateConstant = 0x07B20101LL - 25569;

struct SqliteDb {
    sqlite3* p = nullptr;
    ~SqliteDb()
    {
        if (p != nullptr)
            sqlite3_close(p);
    }
};

struct SqliteStmt {
    sqlite3_stmt* p = nullptr;
    ~SqliteStmt() { sqlite3_finalize(p); }
};

bool Fail(std::string* pError, const std::string& message)
{
    if (pError != nullptr)
        *pError = message;
    return false;
}

bool Exec(sqlite3* db, const std::string& sql, std::string* pError)
{
    char* pszError = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &pszError) != SQLITE_OK) {
        const std::string message = pszError != nullptr ? pszError : "SQL error";
        sqlite3_free(pszError);
        return Fail(pError, message + " in: " + sql.substr(0, 120));
    }
    return true;
}

bool Prepare(sqlite3* db, const std::string& sql, SqliteStmt* pStmt, std::string* pError)
{
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &pStmt->p, nullptr) != SQLITE_OK)
        return Fail(pError, std::string(sqlite3_errmsg(db)) + " in: " + sql.substr(0, 120));
    return true;
}

std::string SchemaSql()
{
    std::string sql = "CREATE TABLE Main (";
    for (const D6Column& column : D6MainColumns()) {
        sql += '[';
        sql += column.pszName;
        sql += "] ";
        sql += column.pszType;
        sql += std::strcmp(column.pszType, "TEXT") == 0 ? " COLLATE NOCASE DEFAULT ''" : " DEFAULT 0";
        sql += ", ";
    }
    sql +=
        "[Photo] BLOB, [VoiceTag] BLOB, [Ringtone] BLOB, [Blob] BLOB);"
        "CREATE INDEX [Main Record ID] ON Main ([Record ID]);"
        "CREATE TABLE Category ([ID] INTEGER, [Name] TEXT COLLATE NOCASE, [Status] INTEGER, [Color] INTEGER);"
        "CREATE TABLE Information ([Name] TEXT, [Note] TEXT);";
    return sql;
}

// Splits at unescaped '|' and resolves the escapes of each piece.
std::vector<std::string> SplitFields(const std::string& text)
{
    std::vector<std::string> fields(1);
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\\' && i + 1 < text.size()) {
            const char next = text[++i];
            fields.back() += next == 'n' ? '\n' : next;
        } else if (c == '|') {
            fields.emplace_back();
        } else {
            fields.back() += c;
        }
    }
    return fields;
}

bool ParseInteger(const std::string& text, long long* pValue)
{
    if (text.empty())
        return false;
    char* pszEnd = nullptr;
    errno = 0;
    const long long value = std::strtoll(text.c_str(), &pszEnd, 10);
    if (errno != 0 || *pszEnd != '\0')
        return false;
    *pValue = value;
    return true;
}

// Fills one database inside one transaction.
class Filler {
public:
    explicit Filler(sqlite3* db) : m_db(db) { }

    bool Run(const std::string& description, std::string* pError)
    {
        if (!Exec(m_db, "BEGIN", pError))
            return false;
        if (!Prepare(m_db, InsertSql(), &m_insert, pError))
            return false;
        size_t nLineNo = 0;
        size_t nPos = 0;
        while (nPos <= description.size()) {
            size_t nEnd = description.find('\n', nPos);
            if (nEnd == std::string::npos)
                nEnd = description.size();
            std::string line = description.substr(nPos, nEnd - nPos);
            nPos = nEnd + 1;
            ++nLineNo;
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            if (line.empty() || line[0] == '#')
                continue;
            std::string error;
            if (!Directive(line, &error))
                return Fail(pError, "line " + std::to_string(nLineNo) + ": " + error);
        }
        if (!m_bFreeRecIdSet) {
            // Never lowered: ids below a FreeRecID may have been used before.
            long long nMax = 0;
            long long nFree = 0;
            if (!MaxRecordId(&nMax, pError) || !ReadFreeRecId(&nFree, pError))
                return false;
            if (nMax + 1 > nFree && !SetInfo("FreeRecID", std::to_string(nMax + 1), pError))
                return false;
        }
        return Exec(m_db, "COMMIT", pError);
    }

private:
    static std::string InsertSql()
    {
        std::string names;
        std::string params;
        int n = 0;
        for (const D6Column& column : D6MainColumns()) {
            if (n > 0) {
                names += ", ";
                params += ", ";
            }
            names += '[';
            names += column.pszName;
            names += ']';
            params += '?' + std::to_string(++n);
        }
        return "INSERT INTO Main (" + names + ") VALUES (" + params + ")";
    }

    bool Directive(const std::string& line, std::string* pError)
    {
        const size_t nBlank = line.find(' ');
        const std::string word = line.substr(0, nBlank);
        const std::string rest = nBlank == std::string::npos ? "" : line.substr(nBlank + 1);
        if (word == "info") {
            const size_t nEquals = rest.find('=');
            if (nEquals == std::string::npos || nEquals == 0)
                return Fail(pError, "info needs <Key>=<Value>");
            const std::string key = rest.substr(0, nEquals);
            if (key == "FreeRecID")
                m_bFreeRecIdSet = true;
            return SetInfo(key, rest.substr(nEquals + 1), pError);
        }
        if (word == "category")
            return AddCategory(SplitFields(rest), pError);
        if (word == "contact")
            return AddContact(SplitFields(rest), pError);
        if (word == "generate") {
            long long nCount = 0;
            long long nSeed = 1;
            const size_t nSecond = rest.find(' ');
            if (!ParseInteger(rest.substr(0, nSecond), &nCount) || nCount < 0 ||
                (nSecond != std::string::npos && !ParseInteger(rest.substr(nSecond + 1), &nSeed)))
                return Fail(pError, "generate needs <count> [<seed>]");
            return Generate(nCount, static_cast<unsigned>(nSeed), pError);
        }
        return Fail(pError, "unknown directive '" + word + "'");
    }

    bool SetInfo(const std::string& key, const std::string& value, std::string* pError)
    {
        SqliteStmt del;
        SqliteStmt ins;
        if (!Prepare(m_db, "DELETE FROM Information WHERE [Name] = ?1", &del, pError) ||
            !Prepare(m_db, "INSERT INTO Information ([Name], [Note]) VALUES (?1, ?2)", &ins, pError))
            return false;
        sqlite3_bind_text(del.p, 1, key.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(ins.p, 1, key.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(ins.p, 2, value.c_str(), -1, SQLITE_TRANSIENT);
        if (sqlite3_step(del.p) != SQLITE_DONE || sqlite3_step(ins.p) != SQLITE_DONE)
            return Fail(pError, sqlite3_errmsg(m_db));
        return true;
    }

    bool AddCategory(const std::vector<std::string>& fields, std::string* pError)
    {
        long long values[3] = {0, 1, 0};  // id, status, color
        if ((fields.size() != 2 && fields.size() != 4) || !ParseInteger(fields[0], &values[0]) ||
            (fields.size() == 4 && (!ParseInteger(fields[2], &values[1]) || !ParseInteger(fields[3], &values[2]))))
            return Fail(pError, "category needs <ID>|<Name>[|<Status>|<Color>]");
        SqliteStmt ins;
        if (!Prepare(m_db, "INSERT INTO Category ([ID], [Name], [Status], [Color]) VALUES (?1, ?2, ?3, ?4)", &ins,
                     pError))
            return false;
        sqlite3_bind_int64(ins.p, 1, values[0]);
        sqlite3_bind_text(ins.p, 2, fields[1].c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_int64(ins.p, 3, values[1]);
        sqlite3_bind_int64(ins.p, 4, values[2]);
        if (sqlite3_step(ins.p) != SQLITE_DONE)
            return Fail(pError, sqlite3_errmsg(m_db));
        return true;
    }

    bool AddContact(const std::vector<std::string>& fields, std::string* pError)
    {
        std::map<std::string, std::string> values;
        for (const std::string& field : fields) {
            if (field.empty())
                continue;
            const size_t nEquals = field.find('=');
            if (nEquals == std::string::npos)
                return Fail(pError, "contact field '" + field + "' needs <Column>=<Value>");
            values[field.substr(0, nEquals)] = field.substr(nEquals + 1);
        }
        return InsertContact(values, pError);
    }

    bool InsertContact(std::map<std::string, std::string>& values, std::string* pError)
    {
        sqlite3_reset(m_insert.p);
        sqlite3_clear_bindings(m_insert.p);
        int nParam = 0;
        for (const D6Column& column : D6MainColumns()) {
            ++nParam;
            const auto it = values.find(column.pszName);
            const bool bText = std::strcmp(column.pszType, "TEXT") == 0;
            if (it == values.end()) {
                if (bText)
                    sqlite3_bind_text(m_insert.p, nParam, "", 0, SQLITE_STATIC);
                else
                    sqlite3_bind_int64(m_insert.p, nParam, 0);
                continue;
            }
            if (bText) {
                sqlite3_bind_text(m_insert.p, nParam, it->second.c_str(), -1, SQLITE_TRANSIENT);
            } else {
                long long nValue = 0;
                if (!ParseInteger(it->second, &nValue))
                    return Fail(pError, std::string("column ") + column.pszName + " needs a number");
                sqlite3_bind_int64(m_insert.p, nParam, nValue);
            }
            values.erase(it);
        }
        if (!values.empty())
            return Fail(pError, "unknown column '" + values.begin()->first + "'");
        if (sqlite3_step(m_insert.p) != SQLITE_DONE)
            return Fail(pError, sqlite3_errmsg(m_db));
        return true;
    }

    bool ReadFreeRecId(long long* pFree, std::string* pError)
    {
        SqliteStmt stmt;
        if (!Prepare(m_db, "SELECT [Note] FROM Information WHERE [Name] = 'FreeRecID'", &stmt, pError))
            return false;
        *pFree = 0;
        if (sqlite3_step(stmt.p) == SQLITE_ROW)
            *pFree = sqlite3_column_int64(stmt.p, 0);
        return true;
    }

    bool MaxRecordId(long long* pMax, std::string* pError)
    {
        SqliteStmt stmt;
        if (!Prepare(m_db, "SELECT COALESCE(MAX([Record ID]), 0) FROM Main", &stmt, pError))
            return false;
        if (sqlite3_step(stmt.p) != SQLITE_ROW)
            return Fail(pError, sqlite3_errmsg(m_db));
        *pMax = sqlite3_column_int64(stmt.p, 0);
        return true;
    }

    bool Generate(long long nCount, unsigned nSeed, std::string* pError)
    {
        static const char* const kFirst[] = {"Ann",  "Bert",  "Carla", "David", "Eve",   "Frank",  "Grace",
                                             "Henk", "Ines",  "Jonas", "Karin", "Lars",  "Marta",  "Nils",
                                             "Olga", "Peter", "Ruth",  "Sven",  "Tanja", "Ulrich", "Zo\xC3\xAB"};
        static const char* const kLast[] = {"Lee",      "O'Brien",  "M\xC3\xBCller", "Smith", "Garcia",
                                            "Nakamura", "D'Arcy",   "Jensen",        "Novak", "Rossi",
                                            "Dubois",   "Kowalski", "Haddad",        "Olsen", "Brown"};
        static const char* const kCompany[] = {"Acme Corp.", "Globex",   "Initech", "Umbrella & Sons",
                                               "Hooli",      "Vandelay", "",        "Stark Industries"};
        static const char* const kCity[] = {"Springfield", "Bergen", "Lyon", "Graz", "Toledo", "Kyoto"};

        std::vector<long long> categories;
        {
            SqliteStmt stmt;
            if (!Prepare(m_db, "SELECT [ID] FROM Category", &stmt, pError))
                return false;
            while (sqlite3_step(stmt.p) == SQLITE_ROW)
                categories.push_back(sqlite3_column_int64(stmt.p, 0));
        }
        long long nBase = 0;
        if (!MaxRecordId(&nBase, pError))
            return false;

        std::mt19937 rng(nSeed);
        auto pick = [&rng](size_t n) { return static_cast<size_t>(rng() % n); };
        for (long long i = 0; i < nCount; ++i) {
            const std::string first = kFirst[pick(std::size(kFirst))];
            const std::string last = kLast[pick(std::size(kLast))];
            const long long nId = nBase + i + 1;
            std::map<std::string, std::string> values;
            values["Record ID"] = std::to_string(nId);
            values["Placement"] = std::to_string(nId);
            values["Private"] = rng() % 17 == 0 ? "1" : "0";
            values["Category"] = categories.empty() ? "0" : std::to_string(categories[pick(categories.size())]);
            values["First Name"] = first;
            values["Last Name"] = last;
            if (rng() % 4 == 0)
                values["Middle Name"] = "J.";
            values["Company"] = kCompany[pick(std::size(kCompany))];
            values["Job Title"] = rng() % 2 == 0 ? "Engineer" : "Sales";
            values["Work Street"] = std::to_string(1 + pick(200)) + " Elm Street";
            values["Work City"] = kCity[pick(std::size(kCity))];
            values["Work Zip"] = std::to_string(10000 + pick(89999));
            values["Work Country"] = "USA";
            char szPhone[32];
            std::snprintf(szPhone, sizeof(szPhone), "+1 555 %04zu", pick(10000));
            values["Work Phone"] = szPhone;
            std::snprintf(szPhone, sizeof(szPhone), "+1 555 %04zu", pick(10000));
            values["Work Fax"] = szPhone;
            std::string mail;
            for (char c : first + "." + last + std::to_string(nId)) {
                if (c != '\'' && static_cast<unsigned char>(c) < 0x80)
                    mail += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
            }
            values["Work Mobile"] = mail + "@example.com";
            values["Phone Label1"] = "0";
            values["Phone Label2"] = "1";
            values["Phone Label3"] = "4";
            values["Phone Label4"] = "7";
            values["Phone Label5"] = "2";
            values["Phone Label6"] = "3";
            values["Phone Label7"] = "5";
            values["Birthday"] = std::to_string(kDateConstant + (rng() % 3 == 0 ? 20000 + pick(15000) : 0));
            values["Anniversary"] = std::to_string(kDateConstant);
            if (rng() % 3 == 0)
                values["Note"] = "Met at the conference.\nCall back about the " + std::to_string(nId) + " order.";
            if (!InsertContact(values, pError))
                return false;
        }
        return true;
    }

    sqlite3* m_db;
    SqliteStmt m_insert;
    bool m_bFreeRecIdSet = false;
};

bool BuildInto(const std::string& path, const std::string& description, bool bCreate, std::string* pError)
{
    SqliteDb db;
    if (sqlite3_open_v2(path.c_str(), &db.p, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK)
        return Fail(pError, "cannot open " + path + ": " + (db.p != nullptr ? sqlite3_errmsg(db.p) : "no memory"));
    sqlite3_busy_timeout(db.p, 5000);
    if (bCreate) {
        if (!Exec(db.p,
                  "BEGIN;" + SchemaSql() +
                      "INSERT INTO Information ([Name], [Note]) VALUES ('CodePage', '1252');"
                      "INSERT INTO Information ([Name], [Note]) VALUES ('FreeRecID', '1');"
                      "COMMIT;",
                  pError))
            return false;
    }
    Filler filler(db.p);
    if (!filler.Run(description, pError)) {
        sqlite3_exec(db.p, "ROLLBACK", nullptr, nullptr, nullptr);
        return false;
    }
    return true;
}

}  // namespace

const std::vector<D6Column>& D6MainColumns()
{
    static const std::vector<D6Column> kColumns = {
        {"Record ID", "INTEGER"},
        {"Status", "INTEGER"},
        {"Placement", "INTEGER"},
        {"Private", "BOOLEAN"},
        {"Category", "INTEGER"},
        {"Note", "TEXT"},
        {"Prefix", "TEXT"},
        {"First Name", "TEXT"},
        {"Middle Name", "TEXT"},
        {"Last Name", "TEXT"},
        {"Suffix", "TEXT"},
        {"NickName", "TEXT"},
        {"Anniversary", "INTEGER"},
        {"Birthday", "INTEGER"},
        {"Profession", "TEXT"},
        {"Company", "TEXT"},
        {"Job Title", "TEXT"},
        {"Assistant Name", "TEXT"},
        {"Assistant Phone", "TEXT"},
        {"Work Street", "TEXT"},
        {"Work City", "TEXT"},
        {"Work State", "TEXT"},
        {"Work Zip", "TEXT"},
        {"Work Country", "TEXT"},
        {"Home Street", "TEXT"},
        {"Home City", "TEXT"},
        {"Home State", "TEXT"},
        {"Home Zip", "TEXT"},
        {"Home Country", "TEXT"},
        {"Other Street", "TEXT"},
        {"Other City", "TEXT"},
        {"Other State", "TEXT"},
        {"Other Zip", "TEXT"},
        {"Other Country", "TEXT"},
        {"Work Phone", "TEXT"},
        {"Work Fax", "TEXT"},
        {"Work Mobile", "TEXT"},
        {"Home Phone", "TEXT"},
        {"Home Fax", "TEXT"},
        {"Home Mobile", "TEXT"},
        {"Other Phone", "TEXT"},
        {"Other Fax", "TEXT"},
        {"Other Mobile", "TEXT"},
        {"Work E-mail", "TEXT"},
        {"E-mail 1", "TEXT"},
        {"E-mail 2", "TEXT"},
        {"E-mail 3", "TEXT"},
        {"Pager", "TEXT"},
        {"Custom 1", "TEXT"},
        {"Custom 2", "TEXT"},
        {"Custom 3", "TEXT"},
        {"Custom 4", "TEXT"},
        {"Primary Contact", "INTEGER"},
        {"Phone Label1", "INTEGER"},
        {"Phone Label2", "INTEGER"},
        {"Phone Label3", "INTEGER"},
        {"Phone Label4", "INTEGER"},
        {"Phone Label5", "INTEGER"},
        {"Phone Label6", "INTEGER"},
        {"Phone Label7", "INTEGER"},
        {"First Yomi", "TEXT"},
        {"Last Yomi", "TEXT"},
        {"Company Yomi", "TEXT"},
        {"Chat1", "TEXT"},
        {"Chat2", "TEXT"},
        {"Chat1 LabelID", "INTEGER"},
        {"Chat2 LabelID", "INTEGER"},
        {"Website", "TEXT"},
        {"Custom 5", "TEXT"},
        {"Custom 6", "TEXT"},
        {"Custom 7", "TEXT"},
        {"Custom 8", "TEXT"},
        {"Custom 9", "TEXT"},
        {"Custom 10", "TEXT"},
        {"Custom 11", "TEXT"},
        {"Custom 12", "TEXT"},
        {"Custom 13", "TEXT"},
        {"Custom 14", "TEXT"},
        {"Birthday AlarmSet", "BOOLEAN"},
        {"Birthday AlarmAdv", "INTEGER"},
        {"Avatar", "INTEGER"},
        {"Addr Label1", "INTEGER"},
        {"Addr Label2", "INTEGER"},
        {"Addr Label3", "INTEGER"},
        {"Anniversary AlarmSet", "BOOLEAN"},
        {"Anniversary AlarmAdv", "INTEGER"},
        {"English Name", "TEXT"},
        {"Picture URL", "TEXT"},
        {"Picture Filename", "TEXT"},
        {"Picture MIME type", "TEXT"},
        {"Picture Sync counter", "TEXT"},
        {"Ringtone URL", "TEXT"},
        {"Ringtone Filename", "TEXT"},
        {"Ringtone MIME type", "TEXT"},
        {"Ringtone Sync counter", "TEXT"},
    };
    return kColumns;
}

bool D6CreateDatabase(const std::string& path, const std::string& description, std::string* pError, bool bReplace)
{
    struct stat st { };
    if (!bReplace && ::lstat(path.c_str(), &st) == 0)
        return Fail(pError, path + " already exists");

    std::string temp = path + ".tmp-XXXXXX";
    const int fd = mkstemp(temp.data());
    if (fd < 0)
        return Fail(pError, "cannot create a file beside " + path + ": " + std::strerror(errno));
    ::close(fd);

    bool bOk = BuildInto(temp, description, true, pError);
    if (bOk) {
        if (bReplace) {
            bOk = ::rename(temp.c_str(), path.c_str()) == 0;
        } else {
            // link() refuses an existing target, so nothing is ever replaced.
            bOk = ::link(temp.c_str(), path.c_str()) == 0;
        }
        if (!bOk)
            Fail(pError, "cannot create " + path + ": " + std::strerror(errno));
    }
    ::unlink(temp.c_str());
    ::unlink((temp + "-journal").c_str());
    return bOk;
}

bool D6FillDatabase(const std::string& path, const std::string& description, std::string* pError)
{
    struct stat st { };
    if (::stat(path.c_str(), &st) != 0)
        return Fail(pError, path + " does not exist");
    return BuildInto(path, description, false, pError);
}

bool D6Query(const std::string& path, const std::string& sql, std::vector<std::map<std::string, std::string>>* pRows,
             std::string* pError)
{
    pRows->clear();
    SqliteDb db;
    if (sqlite3_open_v2(path.c_str(), &db.p, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK)
        return Fail(pError, "cannot open " + path);
    sqlite3_busy_timeout(db.p, 5000);
    SqliteStmt stmt;
    if (!Prepare(db.p, sql, &stmt, pError))
        return false;
    int rc;
    while ((rc = sqlite3_step(stmt.p)) == SQLITE_ROW) {
        std::map<std::string, std::string> row;
        for (int i = 0; i < sqlite3_column_count(stmt.p); ++i) {
            const unsigned char* pszText = sqlite3_column_text(stmt.p, i);
            row[sqlite3_column_name(stmt.p, i)] =
                pszText != nullptr ? reinterpret_cast<const char*>(pszText) : "(null)";
        }
        pRows->push_back(std::move(row));
    }
    if (rc != SQLITE_DONE)
        return Fail(pError, sqlite3_errmsg(db.p));
    return true;
}
