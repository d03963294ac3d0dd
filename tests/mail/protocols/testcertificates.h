#pragma once
// Certificates made by a test with the openssl program, in a folder of their
// own that goes with the object: a test CA, a server certificate it signed
// for localhost and 127.0.0.1, one it signed for another name only, and a
// server certificate from a second CA that no test trusts.
//
//     TestCertificates certs;
//     QVERIFY2(certs.make(), qPrintable(certs.error()));
//     server uses certs.certFile() / certs.keyFile(); the client trusts certs.caFile()

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

class TestCertificates {
public:
    enum Server {
        Trusted,   // signed by the test CA for localhost and 127.0.0.1
        OtherName, // signed by the test CA for mx.example.org only
        OtherCa,   // for localhost and 127.0.0.1, signed by a CA nobody trusts
    };

    bool make()
    {
        if (!m_dir.isValid())
            return failed(QStringLiteral("no temporary folder"));
        // Keys on the P-256 curve: quick to make, and every peer takes them.
        return makeCa(QStringLiteral("ca"), QStringLiteral("Kirvane Test CA"))
            && makeCa(QStringLiteral("otherca"), QStringLiteral("Kirvane Other CA"))
            && makeServer(QStringLiteral("server"), QStringLiteral("ca"), QStringLiteral("DNS:localhost,IP:127.0.0.1"))
            && makeServer(QStringLiteral("othername"), QStringLiteral("ca"), QStringLiteral("DNS:mx.example.org"))
            && makeServer(QStringLiteral("otherca-server"), QStringLiteral("otherca"),
                          QStringLiteral("DNS:localhost,IP:127.0.0.1"));
    }
    QString error() const { return m_error; }

    QString caFile() const { return path(QStringLiteral("ca.pem")); }
    QString certFile(Server s = Trusted) const { return path(base(s) + QStringLiteral(".pem")); }
    QString keyFile(Server s = Trusted) const { return path(base(s) + QStringLiteral(".key")); }
    QString folder() const { return m_dir.path(); }

private:
    static QString base(Server s)
    {
        switch (s) {
        case OtherName:
            return QStringLiteral("othername");
        case OtherCa:
            return QStringLiteral("otherca-server");
        case Trusted:
            break;
        }
        return QStringLiteral("server");
    }
    QString path(const QString &name) const { return m_dir.filePath(name); }

    bool failed(const QString &text)
    {
        m_error = text;
        return false;
    }

    bool openssl(const QStringList &args)
    {
        QProcess p;
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.setWorkingDirectory(m_dir.path());
        p.start(QStringLiteral("openssl"), args);
        if (!p.waitForFinished(30000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
            return failed(QStringLiteral("openssl %1: %2").arg(args.join(u' '), QString::fromLocal8Bit(p.readAll())));
        return true;
    }

    static QStringList newKey(const QString &name)
    {
        return {"-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes", "-keyout", name + ".key"};
    }

    bool makeCa(const QString &name, const QString &commonName)
    {
        return openssl(QStringList{"req", "-x509"} + newKey(name)
                       + QStringList{"-out", name + ".pem", "-days", "2", "-subj", "/CN=" + commonName, "-addext",
                                     "basicConstraints=critical,CA:TRUE", "-addext",
                                     "keyUsage=critical,keyCertSign,cRLSign"});
    }

    bool makeServer(const QString &name, const QString &ca, const QString &altNames)
    {
        QFile ext(path(name + ".ext"));
        if (!ext.open(QIODevice::WriteOnly))
            return failed(ext.errorString());
        ext.write("basicConstraints=CA:FALSE\nkeyUsage=digitalSignature\nextendedKeyUsage=serverAuth\n"
                  "subjectAltName="
                  + altNames.toLatin1() + "\n");
        ext.close();
        return openssl(QStringList{"req"} + newKey(name)
                       + QStringList{"-out", name + ".csr", "-subj", "/CN=" + altNames.section(u',', 0, 0).mid(4)})
            && openssl({"x509", "-req", "-in", name + ".csr", "-CA", ca + ".pem", "-CAkey", ca + ".key",
                        "-CAcreateserial", "-days", "2", "-out", name + ".pem", "-extfile", name + ".ext"});
    }

    QTemporaryDir m_dir;
    QString m_error;
};
