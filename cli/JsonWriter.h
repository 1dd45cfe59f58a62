// JsonWriter: writes JSON to a file as it goes, without building the whole
// text in memory, and OutputBuffer, the buffered file output under it that
// the text output of the commands uses too.
//
// The writer puts the separators itself: between the members of an object
// and the items of an array, with the texts the container was opened with,
// so a command can lay out a large array one item per line. It checks
// nothing beyond that: the caller opens and closes containers in order and
// gives every object member a key.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

// Output collected in a buffer of a few dozen kilobytes and written to the
// file whenever it fills, and at Flush.
class OutputBuffer {
public:
    // Writes to pFile, which stays open and stays the caller's.
    explicit OutputBuffer(std::FILE* pFile);
    // Appends to *pText instead, which must outlive the buffer.
    explicit OutputBuffer(std::string* pText);
    // Flushes what is left.
    ~OutputBuffer();

    OutputBuffer(const OutputBuffer&) = delete;
    OutputBuffer& operator=(const OutputBuffer&) = delete;

    void Append(std::string_view text)
    {
        m_strBuffer.append(text);
        if (m_strBuffer.size() >= kFlushSize)
            WriteOut();
    }
    void Append(char c)
    {
        m_strBuffer.push_back(c);
        if (m_strBuffer.size() >= kFlushSize)
            WriteOut();
    }
    // A decimal integer.
    void AppendInt(int64_t nValue);

    // Writes everything buffered and flushes the file. False when any write
    // since construction failed (a full disk, a closed pipe).
    bool Flush();

private:
    static constexpr size_t kFlushSize = 64 * 1024;

    void WriteOut();

    std::FILE* m_pFile = nullptr;
    std::string* m_pText = nullptr;
    std::string m_strBuffer;
    bool m_bFailed = false;
};

// s as a JSON string literal, quotes included, appended to out. s must be
// UTF-8; control characters, quotes and backslashes are escaped.
void AppendJsonString(std::string& out, std::string_view s);

class JsonWriter {
public:
    explicit JsonWriter(OutputBuffer& out) : m_out(out) { }

    JsonWriter(const JsonWriter&) = delete;
    JsonWriter& operator=(const JsonWriter&) = delete;

    // Open a container. Its first member or item is preceded by pszFirst,
    // every later one by "," and pszNext: BeginArray("\n  ", "\n  ") puts
    // every item on a line of its own.
    void BeginObject(const char* pszFirst = "", const char* pszNext = " ");
    void BeginArray(const char* pszFirst = "", const char* pszNext = " ");
    // Close the innermost container.
    void EndObject();
    void EndArray();

    // The key of the next object member.
    void Key(std::string_view key);

    // Values: a member's value after Key, or an array item.
    void String(std::string_view value);
    void Int(int64_t nValue);
    void Bool(bool bValue);
    void Null();

    // Text written as it stands outside any value (a line break after the
    // outermost value).
    void Raw(std::string_view text) { m_out.Append(text); }

private:
    struct Frame {
        const char* pszFirst;
        const char* pszNext;
        bool bEmpty;
    };

    // Separator before a member (at Key) or an item (at a value in an array).
    void Separate();
    // Before a value: separates array items; an object member was separated
    // at its key.
    void BeforeValue();

    OutputBuffer& m_out;
    std::vector<Frame> m_frames;
    bool m_bAfterKey = false;
    std::string m_strScratch;
};
