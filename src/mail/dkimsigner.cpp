#include "mail/dkimsigner.h"

#include "mail/mailmessage.h"
#include "common/smallfile.h"

#include <QDateTime>
#include <QFile>
#include <QRegularExpression>

#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>

namespace kirvane::mail {

namespace {

// RFC 8301 3.2: verifiers refuse RSA keys under 1024 bits.
constexpr int kMinRsaBits = 1024;
constexpr qsizetype kFoldWidth = 78;

QString openSslError(const QString &fallback)
{
    const unsigned long code = ERR_get_error();
    ERR_clear_error();
    if (code == 0)
        return fallback;
    char text[256];
    ERR_error_string_n(code, text, sizeof text);
    return fallback + QStringLiteral(" (") + QString::fromLatin1(text) + u')';
}

// A key with a pass phrase would make OpenSSL ask on the terminal; there is
// no one there during a run.
int noPassphrase(char *, int, int, void *)
{
    return -1;
}

bool isWsp(char c)
{
    return c == ' ' || c == '\t';
}

// Every run of blanks as one space; blanks at the end removed.
QByteArray compressedBlanks(const QByteArray &text)
{
    QByteArray out;
    out.reserve(text.size());
    bool blank = false;
    for (const char c : text) {
        if (isWsp(c)) {
            blank = true;
            continue;
        }
        if (blank && !out.isEmpty())
            out += ' ';
        blank = false;
        out += c;
    }
    return out;
}

QByteArray sha256(const QByteArray &data)
{
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    if (EVP_Digest(data.constData(), size_t(data.size()), digest, &size, EVP_sha256(), nullptr) != 1)
        return {};
    return QByteArray(reinterpret_cast<const char *>(digest), int(size));
}

// The fields of a header block: each its first line and its continuation lines.
struct Field {
    QByteArray name; // lower case
    QList<QByteArray> lines;
};

} // namespace

struct DkimSigner::Key {
    EVP_PKEY *pkey = nullptr;
    ~Key() { EVP_PKEY_free(pkey); }
};

DkimSigner::DkimSigner() = default;
DkimSigner::~DkimSigner() = default;
DkimSigner::DkimSigner(DkimSigner &&) noexcept = default;
DkimSigner &DkimSigner::operator=(DkimSigner &&) noexcept = default;

std::unique_ptr<DkimSigner> DkimSigner::fromKeyFile(const QString &keyFile, const QString &domain,
                                                    const QString &selector, QString *error)
{
    auto signer = std::make_unique<DkimSigner>();
    if (!signer->loadKeyFile(keyFile, error))
        return nullptr;
    signer->setDomain(domain);
    signer->setSelector(selector);
    return signer;
}

bool DkimSigner::loadKeyFile(const QString &path, QString *error)
{
    QByteArray pem;
    QString why;
    if (!common::readSmallFile(path, common::kKeyFileLimit, &pem, &why)) {
        m_key.reset();
        m_algorithm = Algorithm::None;
        if (error)
            *error = QStringLiteral("%1: %2").arg(path, why);
        return false;
    }
    return loadKey(pem, error);
}

bool DkimSigner::loadKey(const QByteArray &pem, QString *error)
{
    m_key.reset();
    m_algorithm = Algorithm::None;
    auto fail = [&](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
    BIO *bio = BIO_new_mem_buf(pem.constData(), int(pem.size()));
    if (!bio)
        return fail(openSslError(QStringLiteral("out of memory")));
    auto key = std::make_unique<Key>();
    key->pkey = PEM_read_bio_PrivateKey(bio, nullptr, noPassphrase, nullptr);
    BIO_free(bio);
    if (!key->pkey)
        return fail(openSslError(QStringLiteral("no private key in PEM form without a pass phrase")));
    switch (EVP_PKEY_get_base_id(key->pkey)) {
    case EVP_PKEY_RSA:
        if (EVP_PKEY_get_bits(key->pkey) < kMinRsaBits)
            return fail(QStringLiteral("an RSA key of %1 bits is too short (at least %2)")
                            .arg(EVP_PKEY_get_bits(key->pkey))
                            .arg(kMinRsaBits));
        m_algorithm = Algorithm::RsaSha256;
        break;
    case EVP_PKEY_ED25519:
        m_algorithm = Algorithm::Ed25519Sha256;
        break;
    default:
        return fail(QStringLiteral("the key is neither RSA nor Ed25519"));
    }
    m_key = std::move(key);
    return true;
}

bool DkimSigner::isDkimName(const QString &name)
{
    static const QRegularExpression label(
        QStringLiteral("^[A-Za-z0-9_](?:[A-Za-z0-9_-]*[A-Za-z0-9_])?(?:\\.[A-Za-z0-9_](?:[A-Za-z0-9_-]*[A-Za-z0-9_])?)*$"));
    return name.size() <= 253 && label.match(name).hasMatch();
}

const QList<QByteArray> &DkimSigner::signedHeaderNames()
{
    static const QList<QByteArray> names = {
        "from",     "sender",      "reply-to",   "subject",          "date",
        "message-id", "to",        "cc",         "mime-version",     "content-type",
        "content-transfer-encoding", "in-reply-to", "references", "list-id", "list-unsubscribe",
        "list-unsubscribe-post",
    };
    return names;
}

QByteArray DkimSigner::relaxedHeader(const QList<QByteArray> &fieldLines)
{
    const QByteArray unfolded = fieldLines.join(QByteArray());
    const qsizetype colon = unfolded.indexOf(':');
    const QByteArray name = (colon < 0 ? unfolded : unfolded.left(colon)).trimmed().toLower();
    const QByteArray value = colon < 0 ? QByteArray() : compressedBlanks(unfolded.mid(colon + 1));
    return name + ':' + value + "\r\n";
}

QByteArray DkimSigner::relaxedBody(const QList<QByteArray> &bodyLines)
{
    qsizetype end = bodyLines.size();
    // Empty lines at the end are no part of the body (RFC 6376 3.4.4); a line
    // of blanks is empty once its blanks are gone.
    while (end > 0 && compressedBlanks(bodyLines.at(end - 1)).isEmpty())
        --end;
    QByteArray out;
    for (qsizetype i = 0; i < end; ++i) {
        const QByteArray &line = bodyLines.at(i);
        // A line that starts with blanks keeps one space (compressedBlanks
        // drops leading ones, which relaxed canonicalisation keeps as one).
        if (!line.isEmpty() && isWsp(line.front()) && !compressedBlanks(line).isEmpty())
            out += ' ';
        out += compressedBlanks(line);
        out += "\r\n";
    }
    return out;
}

bool DkimSigner::sign(QList<QByteArray> &wireLines, QString *error) const
{
    auto fail = [&](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
    if (!m_key)
        return fail(QStringLiteral("no DKIM key"));
    if (!isDkimName(m_domain))
        return fail(QStringLiteral("\"%1\" is no DKIM domain").arg(m_domain));
    if (!isDkimName(m_selector))
        return fail(QStringLiteral("\"%1\" is no DKIM selector").arg(m_selector));
    const qsizetype blank = wireLines.indexOf(QByteArray());
    if (blank <= 0)
        return fail(QStringLiteral("the message has no header block"));

    QList<Field> fields;
    for (qsizetype i = 0; i < blank; ++i) {
        const QByteArray &line = wireLines.at(i);
        if (!line.isEmpty() && isWsp(line.front()) && !fields.isEmpty()) {
            fields.last().lines.append(line);
            continue;
        }
        const qsizetype colon = line.indexOf(':');
        fields.append({(colon < 0 ? line : line.left(colon)).trimmed().toLower(), {line}});
    }

    // The body as it arrives: a line that starts with "." was stuffed.
    QList<QByteArray> body;
    body.reserve(wireLines.size() - blank - 1);
    for (qsizetype i = blank + 1; i < wireLines.size(); ++i) {
        const QByteArray &line = wireLines.at(i);
        body.append(line.startsWith('.') ? line.mid(1) : line);
    }
    const QByteArray bodyHash = sha256(relaxedBody(body)).toBase64();

    // Each name once per field of that name, the last field first (RFC 6376 5.4.2).
    QByteArray headerData;
    QList<QByteArray> names;
    for (const QByteArray &name : signedHeaderNames()) {
        for (qsizetype i = fields.size() - 1; i >= 0; --i) {
            if (fields.at(i).name != name)
                continue;
            names.append(name);
            headerData += relaxedHeader(fields.at(i).lines);
        }
    }

    // The header with an empty b=, folded at blanks; the verifier removes
    // the b= value with its blanks, so the folding of the value added below
    // is no part of what is signed.
    const QByteArray algorithm = m_algorithm == Algorithm::RsaSha256 ? "rsa-sha256" : "ed25519-sha256";
    const qint64 t = m_timestamp >= 0 ? m_timestamp : QDateTime::currentSecsSinceEpoch();
    QList<QByteArray> pieces = {"v=1;", "a=" + algorithm + ';', "c=relaxed/relaxed;", "d=" + m_domain.toLatin1() + ';',
                                "s=" + m_selector.toLatin1() + ';', "t=" + QByteArray::number(t) + ';'};
    for (qsizetype i = 0; i < names.size(); ++i)
        pieces.append((i == 0 ? "h=" : "") + names.at(i) + (i + 1 == names.size() ? ";" : ":"));
    pieces.append("bh=" + bodyHash + ';');
    pieces.append("b=");
    QList<QByteArray> header = {"DKIM-Signature:"};
    for (const QByteArray &piece : std::as_const(pieces)) {
        if (header.last().size() + 1 + piece.size() > kFoldWidth)
            header.append('\t' + piece);
        else
            header.last() += ' ' + piece;
    }
    headerData += relaxedHeader(header);
    headerData.chop(2); // the signature's own header goes in without its CR LF

    EVP_MD_CTX *ctx = EVP_MD_CTX_new();
    if (!ctx)
        return fail(openSslError(QStringLiteral("out of memory")));
    QByteArray signature;
    bool signedOk = false;
    if (m_algorithm == Algorithm::RsaSha256) {
        size_t size = 0;
        signedOk = EVP_DigestSignInit(ctx, nullptr, EVP_sha256(), nullptr, m_key->pkey) == 1
                   && EVP_DigestSign(ctx, nullptr, &size, reinterpret_cast<const unsigned char *>(headerData.constData()),
                                     size_t(headerData.size())) == 1;
        if (signedOk) {
            signature.resize(qsizetype(size));
            signedOk = EVP_DigestSign(ctx, reinterpret_cast<unsigned char *>(signature.data()), &size,
                                      reinterpret_cast<const unsigned char *>(headerData.constData()),
                                      size_t(headerData.size())) == 1;
            signature.resize(qsizetype(size));
        }
    } else {
        // RFC 8463 3: Ed25519 signs the SHA-256 digest of the data.
        const QByteArray digest = sha256(headerData);
        size_t size = 64;
        signature.resize(64);
        signedOk = !digest.isEmpty() && EVP_DigestSignInit(ctx, nullptr, nullptr, nullptr, m_key->pkey) == 1
                   && EVP_DigestSign(ctx, reinterpret_cast<unsigned char *>(signature.data()), &size,
                                     reinterpret_cast<const unsigned char *>(digest.constData()),
                                     size_t(digest.size())) == 1;
        signature.resize(qsizetype(size));
    }
    EVP_MD_CTX_free(ctx);
    if (!signedOk)
        return fail(openSslError(QStringLiteral("the message could not be signed")));

    QByteArray rest = signature.toBase64();
    const qsizetype room = std::max<qsizetype>(kFoldWidth - header.last().size(), 0);
    header.last() += rest.left(room);
    rest.remove(0, room);
    while (!rest.isEmpty()) {
        header.append('\t' + rest.left(kFoldWidth - 1));
        rest.remove(0, kFoldWidth - 1);
    }
    wireLines = header + wireLines;
    return true;
}

bool composeSigned(MailMessage &msg, const DkimSigner *signer, QString *error)
{
    msg.date = currentMailDate();
    return msg.compose(error) && (!signer || signer->sign(msg.wireLines, error));
}

} // namespace kirvane::mail
