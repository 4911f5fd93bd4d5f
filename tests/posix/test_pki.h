// A certificate authority made afresh for each test that needs one: its root goes into a
// PEM file the client is pointed at (SSL_CERT_FILE), and it issues server certificates
// for any names and validity, or none of its own (self-signed).
#pragma once

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <cstdio>
#include <memory>
#include <string>

namespace vexal::testing {

struct KeyFree {
    void operator()(EVP_PKEY* k) const { EVP_PKEY_free(k); }
};
struct CertFree {
    void operator()(X509* c) const { X509_free(c); }
};
using Key = std::unique_ptr<EVP_PKEY, KeyFree>;
using Cert = std::unique_ptr<X509, CertFree>;

// A server's certificate and key, in memory and as PEM files.
struct ServerIdentity {
    Cert cert;
    Key key;
    std::string certFile;
    std::string keyFile;
};

class TestPki {
public:
    // Files go into `folder`, which must exist.
    explicit TestPki(const std::string& folder) : folder_(folder) {
        caKey_ = Key(EVP_EC_gen("P-256"));
        caCert_ = Make("vexal test root", caKey_.get(), nullptr, nullptr, "", -3600, 86400, true);
        caFile = folder_ + "/ca.pem";
        WriteCert(caCert_.get(), caFile);
        caDerFile = folder_ + "/ca.der";
        WriteDer(caCert_.get(), caDerFile);
    }

    // `names` is a subjectAltName value ("DNS:localhost,IP:127.0.0.1"); the validity runs
    // from `fromSeconds` to `toSeconds` around now.
    ServerIdentity Issue(const std::string& file, const std::string& names, long fromSeconds = -3600,
                         long toSeconds = 86400, bool selfSigned = false) {
        ServerIdentity id;
        id.key = Key(EVP_EC_gen("P-256"));
        id.cert = selfSigned ? Make("vexal test server", id.key.get(), nullptr, nullptr, names, fromSeconds,
                                    toSeconds, false)
                             : Make("vexal test server", id.key.get(), caCert_.get(), caKey_.get(), names,
                                    fromSeconds, toSeconds, false);
        id.certFile = folder_ + "/" + file + ".pem";
        id.keyFile = folder_ + "/" + file + ".key";
        WriteCert(id.cert.get(), id.certFile);
        FILE* f = std::fopen(id.keyFile.c_str(), "w");
        if (f) {
            PEM_write_PrivateKey(f, id.key.get(), nullptr, nullptr, 0, nullptr, nullptr);
            std::fclose(f);
        }
        return id;
    }

    std::string caFile;
    std::string caDerFile;

private:
    Cert Make(const char* commonName, EVP_PKEY* key, X509* issuer, EVP_PKEY* issuerKey,
              const std::string& names, long from, long to, bool ca) {
        Cert cert(X509_new());
        X509* c = cert.get();
        X509_set_version(c, 2);
        ASN1_INTEGER_set(X509_get_serialNumber(c), ++serial_);
        X509_gmtime_adj(X509_getm_notBefore(c), from);
        X509_gmtime_adj(X509_getm_notAfter(c), to);
        X509_set_pubkey(c, key);
        X509_NAME* name = X509_get_subject_name(c);
        X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                                   reinterpret_cast<const unsigned char*>(commonName), -1, -1, 0);
        X509_set_issuer_name(c, issuer ? X509_get_subject_name(issuer) : name);
        X509V3_CTX ctx;
        X509V3_set_ctx_nodb(&ctx);
        X509V3_set_ctx(&ctx, issuer ? issuer : c, c, nullptr, nullptr, 0);
        Add(c, &ctx, NID_basic_constraints, ca ? "critical,CA:TRUE" : "CA:FALSE");
        Add(c, &ctx, NID_key_usage, ca ? "critical,keyCertSign,cRLSign" : "critical,digitalSignature");
        Add(c, &ctx, NID_subject_key_identifier, "hash");
        if (!ca) Add(c, &ctx, NID_ext_key_usage, "serverAuth");
        if (!names.empty()) Add(c, &ctx, NID_subject_alt_name, names.c_str());
        X509_sign(c, issuerKey ? issuerKey : key, EVP_sha256());
        return cert;
    }
    static void Add(X509* c, X509V3_CTX* ctx, int nid, const char* value) {
        X509_EXTENSION* ext = X509V3_EXT_conf_nid(nullptr, ctx, nid, value);
        if (ext) {
            X509_add_ext(c, ext, -1);
            X509_EXTENSION_free(ext);
        }
    }
    static void WriteCert(X509* c, const std::string& path) {
        FILE* f = std::fopen(path.c_str(), "w");
        if (!f) return;
        PEM_write_X509(f, c);
        std::fclose(f);
    }
    static void WriteDer(X509* c, const std::string& path) {
        FILE* f = std::fopen(path.c_str(), "wb");
        if (!f) return;
        i2d_X509_fp(f, c);
        std::fclose(f);
    }

    std::string folder_;
    Key caKey_;
    Cert caCert_;
    long serial_ = 0;
};

}  // namespace vexal::testing
