#include "message/rtf.h"

#include "message/richformat.h"
#include "common/textcodec.h"

#include <QHash>
#include <QSet>
#include <QStringList>
#include <QStringDecoder>
#include <QTextCursor>
#include <QTextDocument>

#include <vector>

namespace kirvane::message {

using namespace kirvane::common;

namespace {

enum class Destination { Text, FontTable, ColourTable, FieldInstruction, Skip };

struct FontEntry {
    QString name;
    int codePage = 0; // 0: the document's ANSI code page
};

struct GroupState {
    Destination destination = Destination::Text;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    int font = -1;        // -1: the default font
    int halfPoints = 24;  // RTF's default size is 12 points
    int colour = 0;       // 0: automatic (black)
    int unicodeSkip = 1;  // \ucN
    int fontEntry = -1;   // the font being described inside the font table
    bool hidden = false;  // \v: text the reader of the document does not see
    QString link;         // the address of the HYPERLINK field the group is in
};

// The address of a field instruction HYPERLINK "address" (switches such as
// \l or \o ignored), or empty for any other field.
QString hyperlinkAddress(const QString &instruction)
{
    const QString s = instruction.trimmed();
    if (!s.startsWith(QLatin1String("HYPERLINK"), Qt::CaseInsensitive))
        return {};
    const qsizetype open = s.indexOf(u'"');
    const qsizetype close = open < 0 ? -1 : s.indexOf(u'"', open + 1);
    if (close > open + 1)
        return s.mid(open + 1, close - open - 1);
    const QStringList words = s.split(u' ', Qt::SkipEmptyParts);
    return words.size() > 1 && !words[1].startsWith(u'\\') ? words[1] : QString();
}

// Destinations whose content is not text of the body.
const QSet<QByteArray> &skippedDestinations()
{
    static const QSet<QByteArray> words = {
        "stylesheet", "info", "pict", "object", "header", "headerl", "headerr", "headerf", "footer", "footerl",
        "footerr", "footerf", "footnote", "listtable", "listoverridetable", "revtbl", "rsidtbl",
        "xmlnstbl", "nonshppict", "themedata", "colorschememapping", "datastore", "latentstyles", "generator",
        "filetbl", "author", "operator", "title", "subject", "keywords", "comment", "doccomm", "company",
        "annotation", "atnid", "atnauthor", "bkmkstart", "bkmkend", "xe", "tc", "txe", "rxe", "shpinst", "sp",
        "sn", "sv", "pgdsctbl", "template", "fchars", "lchars", "mmathPr", "background", "ftnsep", "ftnsepc",
        "ftncn", "aftnsep", "aftnsepc", "aftncn", "do", "userprops", "private", "pn",
    };
    return words;
}

const QSet<QByteArray> &underlineWords()
{
    static const QSet<QByteArray> words = {
        "ul", "uld", "uldash", "uldashd", "uldashdd", "uldb", "ulhwave", "ulldash", "ulth", "ulthd", "ulthdash",
        "ulthdashd", "ulthdashdd", "ulthldash", "ululdbwave", "ulw", "ulwave",
    };
    return words;
}

int codePageOfCharset(int charset, int ansi)
{
    switch (charset) {
    case 0: case 1: case 2: return ansi;
    case 77: return 10000;
    case 128: return 932;
    case 129: return 949;
    case 134: return 936;
    case 136: return 950;
    case 161: return 1253;
    case 162: return 1254;
    case 163: return 1258;
    case 177: return 1255;
    case 178: return 1256;
    case 186: return 1257;
    case 204: return 1251;
    case 222: return 874;
    case 238: return 1250;
    case 255: return 437;
    default: return ansi;
    }
}

QString decodeCodePage(const QByteArray &bytes, int codePage)
{
    if (codePage == 1252 || codePage == 0)
        return fromWindows1252(bytes);
    QByteArray name;
    switch (codePage) {
    case 932: name = "Shift_JIS"; break;
    case 936: name = "GBK"; break;
    case 949: name = "windows-949"; break;
    case 950: name = "Big5"; break;
    case 10000: name = "macintosh"; break;
    case 437: case 850: name = "IBM" + QByteArray::number(codePage); break;
    case 65001: return QString::fromUtf8(bytes);
    default: name = "windows-" + QByteArray::number(codePage); break;
    }
    QStringDecoder decoder(name.constData());
    if (!decoder.isValid())
        return fromWindows1252(bytes);
    return decoder.decode(bytes);
}

class Reader {
public:
    Reader(const QByteArray &rtf, QTextDocument *document, const RtfLimits &limits)
        : m_in(rtf), m_doc(document), m_cursor(document), m_limits(limits)
    {
    }

    RtfReadStatus run();

private:
    void controlWord(const QByteArray &word, bool hasParam, int param);
    void controlSymbol(char c);
    void text(QStringView s);
    void pendingByte(char b);
    void flushBytes();
    void flushRun();
    void openGroup();
    void closeGroup();
    [[nodiscard]] CharAttributes currentAttributes() const;
    [[nodiscard]] int codePageNow() const;
    [[nodiscard]] bool skipping() const { return m_state.destination == Destination::Skip; }

    const QByteArray &m_in;
    qsizetype m_pos = 0;
    QTextDocument *m_doc;
    QTextCursor m_cursor;
    GroupState m_state;
    std::vector<GroupState> m_stack;
    bool m_ignorableNext = false; // after \*: the group is skipped unless understood
    bool m_groupStart = false;    // no control word yet in the current group

    int m_ansiCodePage = 1252;
    int m_defaultFont = 0;
    QHash<int, FontEntry> m_fonts;
    std::vector<QRgb> m_colours; // entry 0 and "auto" entries are black
    std::vector<bool> m_colourIsAuto;
    int m_red = -1, m_green = -1, m_blue = -1;

    QByteArray m_bytes; // \'hh and raw 8-bit bytes waiting to be decoded together
    int m_bytesCodePage = 1252;
    int m_skipChars = 0; // fallback characters still to drop after \uN
    QString m_fieldInstruction; // the text of the field instruction being read

    QString m_run;
    CharAttributes m_runAttributes;
    int m_pendingParagraphs = 0;
    bool m_anyText = false;

    RtfLimits m_limits;
    qsizetype m_paragraphs = 0;
    qsizetype m_characters = 0;
    bool m_tooLarge = false;
    size_t m_unfollowedDepth = 0; // groups opened beyond the deepest one followed
};

int Reader::codePageNow() const
{
    int font = m_state.font < 0 ? m_defaultFont : m_state.font;
    if (m_state.destination == Destination::FontTable)
        font = m_state.fontEntry; // a font's name is in its own charset
    const auto it = m_fonts.constFind(font);
    if (it != m_fonts.constEnd() && it->codePage)
        return it->codePage;
    return m_ansiCodePage;
}

CharAttributes Reader::currentAttributes() const
{
    CharAttributes a;
    a.bold = m_state.bold;
    a.italic = m_state.italic;
    a.underline = m_state.underline;
    const auto it = m_fonts.constFind(m_state.font < 0 ? m_defaultFont : m_state.font);
    const QString name = it != m_fonts.constEnd() ? it->name.trimmed() : QString();
    a.family = name.isEmpty() ? m_doc->defaultFont().family() : name;
    a.pointSize = m_state.halfPoints / 2.0;
    if (m_state.colour > 0 && m_state.colour < int(m_colours.size()) && !m_colourIsAuto[m_state.colour])
        a.colour = m_colours[m_state.colour];
    a.link = m_state.link;
    return a;
}

void Reader::flushRun()
{
    if (m_run.isEmpty())
        return;
    m_cursor.insertText(m_run, charFormat(m_runAttributes));
    m_run.clear();
}

void Reader::text(QStringView s)
{
    if (s.isEmpty())
        return;
    switch (m_state.destination) {
    case Destination::Skip:
        return;
    case Destination::ColourTable:
        // Each ';' ends an entry; one without components is the automatic colour.
        for (QChar c : s) {
            if (c != u';')
                continue;
            m_colourIsAuto.push_back(m_red < 0 && m_green < 0 && m_blue < 0);
            m_colours.push_back(qRgb(std::max(m_red, 0), std::max(m_green, 0), std::max(m_blue, 0)));
            m_red = m_green = m_blue = -1;
        }
        return;
    case Destination::FontTable: {
        if (m_state.fontEntry < 0)
            return;
        FontEntry &f = m_fonts[m_state.fontEntry];
        for (QChar c : s) {
            if (c == u';') {
                f.name = f.name.trimmed();
                m_state.fontEntry = -1; // the name is complete
                break;
            }
            f.name += c;
        }
        return;
    }
    case Destination::FieldInstruction:
        m_fieldInstruction += s;
        return;
    case Destination::Text:
        if (m_state.hidden)
            return;
        break;
    }
    if (m_skipChars > 0) {
        const qsizetype drop = std::min<qsizetype>(m_skipChars, s.size());
        m_skipChars -= int(drop);
        s = s.mid(drop);
        if (s.isEmpty())
            return;
    }
    if (m_pendingParagraphs > 0) {
        flushRun();
        for (; m_pendingParagraphs > 0; --m_pendingParagraphs)
            m_cursor.insertBlock();
    }
    m_characters += s.size();
    if (m_characters > m_limits.maxCharacters) {
        m_tooLarge = true;
        return;
    }
    const CharAttributes a = currentAttributes();
    if (!m_run.isEmpty() && !(a == m_runAttributes))
        flushRun();
    m_runAttributes = a;
    m_run += s;
    m_anyText = true;
}

void Reader::pendingByte(char b)
{
    const int cp = codePageNow();
    if (!m_bytes.isEmpty() && cp != m_bytesCodePage)
        flushBytes();
    m_bytesCodePage = cp;
    m_bytes += b;
}

void Reader::flushBytes()
{
    if (m_bytes.isEmpty())
        return;
    const QByteArray bytes = std::exchange(m_bytes, QByteArray());
    // The fallback bytes of a \uN are dropped one byte at a time.
    qsizetype start = 0;
    while (m_skipChars > 0 && start < bytes.size()) {
        ++start;
        --m_skipChars;
    }
    if (start < bytes.size())
        text(decodeCodePage(bytes.mid(start), m_bytesCodePage));
}

void Reader::openGroup()
{
    flushBytes();
    m_stack.push_back(m_state);
    m_groupStart = true;
    m_ignorableNext = false;
}

void Reader::closeGroup()
{
    flushBytes();
    if (m_state.destination == Destination::ColourTable && m_red >= 0) {
        m_colours.push_back(qRgb(std::max(m_red, 0), std::max(m_green, 0), std::max(m_blue, 0)));
        m_colourIsAuto.push_back(false);
        m_red = m_green = m_blue = -1;
    }
    if (m_stack.empty())
        return;
    const bool instructionRead = m_state.destination == Destination::FieldInstruction;
    m_state = m_stack.back();
    m_stack.pop_back();
    // The field's result, a later group of the same field, shows as the link.
    if (instructionRead && m_state.destination != Destination::FieldInstruction)
        m_state.link = hyperlinkAddress(std::exchange(m_fieldInstruction, QString()));
    m_skipChars = 0;
    m_groupStart = false;
    m_ignorableNext = false;
}

void Reader::controlSymbol(char c)
{
    switch (c) {
    case '\\': case '{': case '}':
        flushBytes();
        text(QString(QChar(c)));
        break;
    case '~':
        flushBytes();
        text(QStringLiteral("\u00A0"));
        break;
    case '_':
        flushBytes();
        text(QStringLiteral("\u2011"));
        break;
    case '*':
        m_ignorableNext = true;
        break;
    case '\r': case '\n':
        controlWord("par", false, 0);
        break;
    case '\'': {
        if (m_pos + 2 > m_in.size())
            return;
        bool ok = false;
        const int b = m_in.mid(m_pos, 2).toInt(&ok, 16);
        m_pos += 2;
        if (ok && !skipping())
            pendingByte(char(b));
        break;
    }
    default:
        break; // \- (optional hyphen), \: and others show nothing
    }
}

void Reader::controlWord(const QByteArray &word, bool hasParam, int param)
{
    const bool firstInGroup = std::exchange(m_groupStart, false);
    const bool ignorable = std::exchange(m_ignorableNext, false);
    flushBytes();

    if (word == "bin") {
        m_pos = std::min(m_in.size(), m_pos + std::max(param, 0));
        return;
    }
    if (skipping())
        return;
    if (word == "fonttbl") {
        m_state.destination = Destination::FontTable;
        return;
    }
    if (word == "fldinst") {
        m_state.destination = Destination::FieldInstruction;
        m_fieldInstruction.clear();
        return;
    }
    if (word == "colortbl") {
        m_state.destination = Destination::ColourTable;
        m_colours.clear();
        m_colourIsAuto.clear();
        m_red = m_green = m_blue = -1;
        return;
    }
    if (skippedDestinations().contains(word) || (ignorable && firstInGroup)) {
        m_state.destination = Destination::Skip;
        return;
    }

    if (m_state.destination == Destination::FontTable) {
        if (word == "f") {
            m_state.fontEntry = param;
            m_fonts[param] = FontEntry{};
        } else if (word == "fcharset" && m_state.fontEntry >= 0) {
            m_fonts[m_state.fontEntry].codePage = param == 0 ? 0 : codePageOfCharset(param, m_ansiCodePage);
        } else if (word == "cpg" && m_state.fontEntry >= 0) {
            m_fonts[m_state.fontEntry].codePage = param;
        }
        return;
    }
    if (m_state.destination == Destination::ColourTable) {
        if (word == "red")
            m_red = param;
        else if (word == "green")
            m_green = param;
        else if (word == "blue")
            m_blue = param;
        return;
    }

    if (word == "u") {
        text(QString(QChar(char16_t(param < 0 ? param + 65536 : param))));
        m_skipChars = m_state.unicodeSkip;
    } else if (word == "uc") {
        m_state.unicodeSkip = std::max(param, 0);
    } else if (word == "ansicpg") {
        m_ansiCodePage = param;
    } else if (word == "mac") {
        m_ansiCodePage = 10000;
    } else if (word == "pc") {
        m_ansiCodePage = 437;
    } else if (word == "pca") {
        m_ansiCodePage = 850;
    } else if (word == "deff") {
        m_defaultFont = param;
    } else if (word == "plain") {
        const GroupState keep = m_state;
        m_state = GroupState{};
        m_state.destination = keep.destination;
        m_state.unicodeSkip = keep.unicodeSkip;
        m_state.link = keep.link;
    } else if (word == "b") {
        m_state.bold = !hasParam || param != 0;
    } else if (word == "i") {
        m_state.italic = !hasParam || param != 0;
    } else if (underlineWords().contains(word)) {
        m_state.underline = !hasParam || param != 0;
    } else if (word == "ulnone") {
        m_state.underline = false;
    } else if (word == "f") {
        m_state.font = param;
    } else if (word == "fs") {
        if (param > 0)
            m_state.halfPoints = param;
    } else if (word == "cf") {
        m_state.colour = param;
    } else if (word == "v") {
        m_state.hidden = !hasParam || param != 0;
    } else if (word == "cell" || word == "nestcell") {
        text(u"\t");
    } else if (word == "par" || word == "sect" || word == "page" || word == "row" || word == "nestrow") {
        if (m_skipChars > 0)
            m_skipChars = 0;
        ++m_pendingParagraphs;
        if (++m_paragraphs > m_limits.maxParagraphs)
            m_tooLarge = true;
    } else if (word == "line") {
        text(QString(QChar::LineSeparator));
    } else if (word == "tab") {
        text(u"\t");
    } else if (word == "emdash") {
        text(u"\u2014");
    } else if (word == "endash") {
        text(u"\u2013");
    } else if (word == "emspace" || word == "enspace" || word == "qmspace") {
        text(u" ");
    } else if (word == "lquote") {
        text(u"\u2018");
    } else if (word == "rquote") {
        text(u"\u2019");
    } else if (word == "ldblquote") {
        text(u"\u201C");
    } else if (word == "rdblquote") {
        text(u"\u201D");
    } else if (word == "bullet") {
        text(u"\u2022");
    }
}

RtfReadStatus Reader::run()
{
    qsizetype lead = 0;
    while (lead < m_in.size() && QChar::isSpace(uchar(m_in[lead])))
        ++lead;
    if (!m_in.mid(lead, 5).startsWith("{\\rtf"))
        return RtfReadStatus::NotRtf;
    m_pos = lead;
    // Deeper nesting is no document, only a trap for the stack of states:
    // groups beyond it are not followed, and their text is kept.
    constexpr size_t kMaxDepth = 4096;
    while (m_pos < m_in.size() && !m_tooLarge) {
        const char c = m_in[m_pos++];
        if (c == '{') {
            if (m_stack.size() >= kMaxDepth)
                ++m_unfollowedDepth;
            else
                openGroup();
        } else if (c == '}') {
            if (m_unfollowedDepth > 0) {
                --m_unfollowedDepth;
                continue;
            }
            closeGroup();
            if (m_stack.empty())
                break; // the end of the document's group
        } else if (c == '\\') {
            if (m_pos >= m_in.size())
                break;
            const char n = m_in[m_pos];
            if (!std::isalpha(uchar(n))) {
                ++m_pos;
                controlSymbol(n);
                continue;
            }
            const qsizetype start = m_pos;
            while (m_pos < m_in.size() && std::isalpha(uchar(m_in[m_pos])) && m_pos - start < 32)
                ++m_pos;
            const QByteArray word = m_in.mid(start, m_pos - start);
            bool hasParam = false;
            int param = 0;
            const qsizetype numStart = m_pos;
            if (m_pos < m_in.size() && m_in[m_pos] == '-')
                ++m_pos;
            while (m_pos < m_in.size() && std::isdigit(uchar(m_in[m_pos])) && m_pos - numStart < 10)
                ++m_pos;
            if (m_pos > numStart && !(m_pos == numStart + 1 && m_in[numStart] == '-')) {
                hasParam = true;
                param = m_in.mid(numStart, m_pos - numStart).toInt();
            } else {
                m_pos = numStart;
            }
            if (m_pos < m_in.size() && m_in[m_pos] == ' ')
                ++m_pos; // the delimiter belongs to the control word
            controlWord(word, hasParam, param);
        } else if (c == '\r' || c == '\n' || c == '\0') {
            continue;
        } else {
            m_groupStart = false;
            if (skipping())
                continue;
            if (uchar(c) >= 0x80) {
                pendingByte(c);
            } else {
                flushBytes();
                if (m_skipChars > 0) {
                    --m_skipChars;
                    continue;
                }
                text(QString(QChar(c)));
            }
        }
    }
    flushBytes();
    if (m_tooLarge)
        return RtfReadStatus::TooLarge;
    flushRun();
    // A \par ends a paragraph; only one between two texts starts a new block,
    // so the final one makes no empty last paragraph.
    if (m_pendingParagraphs > 1)
        for (int i = 1; i < m_pendingParagraphs; ++i)
            m_cursor.insertBlock();
    return RtfReadStatus::Ok;
}

} // namespace

RtfReadStatus readRtfDocument(const QByteArray &rtf, QTextDocument *document, const RtfLimits &limits)
{
    document->clear();
    Reader reader(rtf, document, limits);
    const RtfReadStatus status = reader.run();
    if (status != RtfReadStatus::Ok)
        document->clear();
    return status;
}

bool readRtf(const QByteArray &rtf, QTextDocument *document)
{
    return readRtfDocument(rtf, document) == RtfReadStatus::Ok;
}

} // namespace kirvane::message
