#pragma once
// Signs composed messages with DKIM (RFC 6376), canonicalisation
// relaxed/relaxed: rsa-sha256 with an RSA key, ed25519-sha256 (RFC 8463) with
// an Ed25519 key. The key is read once; every message of a run is then signed
// after its composition.
//
//     DkimSigner signer;
//     QString error;
//     if (!signer.loadKeyFile("/etc/kirvane/news.pem", &error)) ...
//     signer.setDomain("example.org");
//     signer.setSelector("news");
//     msg.compose(&error);
//     if (!signer.sign(msg.wireLines, &error)) ...  // DKIM-Signature goes first
//
// The lines are those compose() writes: the header block, an empty line, the
// body, dot-stuffed. The signature covers the body as the receiver sees it,
// with the stuffing undone, and those headers of signedHeaderNames() that the
// message has; nothing of the message changes but the added header.

#include <QByteArray>
#include <QList>
#include <QString>

#include <memory>

namespace kirvane::mail {

class MailMessage;

class DkimSigner {
public:
    enum class Algorithm { None, RsaSha256, Ed25519Sha256 };

    DkimSigner();
    ~DkimSigner();
    DkimSigner(DkimSigner &&) noexcept;
    DkimSigner &operator=(DkimSigner &&) noexcept;

    // Reads a PEM private key (PKCS #8 or the traditional RSA form). False,
    // with the reason, for a file that cannot be read or holds no RSA or
    // Ed25519 private key; the signer then has no key.
    [[nodiscard]] bool loadKeyFile(const QString &path, QString *error = nullptr);
    [[nodiscard]] bool loadKey(const QByteArray &pem, QString *error = nullptr);
    // A signer with the key of keyFile, naming domain and selector; null,
    // with the reason, when the key cannot be loaded.
    [[nodiscard]] static std::unique_ptr<DkimSigner> fromKeyFile(const QString &keyFile, const QString &domain,
                                                                const QString &selector, QString *error = nullptr);
    [[nodiscard]] Algorithm algorithm() const { return m_algorithm; }

    // The d= and s= tags. A name with anything but letters, digits, "-",
    // "_" and inner dots is refused by sign().
    void setDomain(const QString &domain) { m_domain = domain; }
    void setSelector(const QString &selector) { m_selector = selector; }
    // The t= tag; seconds since 1970. Unset (negative): the time of signing.
    void setTimestamp(qint64 seconds) { m_timestamp = seconds; }

    // Prepends a DKIM-Signature header to the composed lines. False with the
    // reason (no key, a bad domain or selector, no header block, a failure
    // of the library) and the lines as they were.
    [[nodiscard]] bool sign(QList<QByteArray> &wireLines, QString *error = nullptr) const;

    // The headers signed when present, lower case, in the order of h=.
    [[nodiscard]] static const QList<QByteArray> &signedHeaderNames();

    // A domain or selector DKIM can name: labels of letters, digits, "-" and
    // "_" between dots.
    [[nodiscard]] static bool isDkimName(const QString &name);

    // Relaxed canonicalisation (RFC 6376 3.4.2 and 3.4.4), for tests and the
    // signer: one header field given as its lines (the first and its
    // continuation lines), and a body given as its lines (stuffing undone).
    [[nodiscard]] static QByteArray relaxedHeader(const QList<QByteArray> &fieldLines);
    [[nodiscard]] static QByteArray relaxedBody(const QList<QByteArray> &bodyLines);

private:
    struct Key;
    std::unique_ptr<Key> m_key;
    Algorithm m_algorithm = Algorithm::None;
    QString m_domain;
    QString m_selector;
    qint64 m_timestamp = -1;
};

// Composes msg with the Date of now and, with a signer, puts the signature in
// front of it. False with the reason (of the composition or the signing).
[[nodiscard]] bool composeSigned(MailMessage &msg, const DkimSigner *signer, QString *error = nullptr);

} // namespace kirvane::mail
