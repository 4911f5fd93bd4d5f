// OpenSSL client sessions over two memory buffers: what the peer sent goes in, what it
// must be sent comes out. Verification is always on; there is no way to turn it off.
#include "platform/linux/openssl_engine.h"

#include <arpa/inet.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

namespace vexal {
namespace {

bool IsIpAddress(const std::string& host) {
    unsigned char buffer[16];
    return ::inet_pton(AF_INET, host.c_str(), buffer) == 1 ||
           ::inet_pton(AF_INET6, host.c_str(), buffer) == 1;
}

class OpenSslEngine final : public TlsEngine {
public:
    ~OpenSslEngine() override {
        Reset();
        if (context_) SSL_CTX_free(context_);
    }

    Result Start(const std::string& host, std::string& wireOut) override {
        Reset();
        if (!context_ && !MakeContext()) return Result::HandshakeFailed;
        ssl_ = SSL_new(context_);
        if (!ssl_) return Result::HandshakeFailed;
        in_ = BIO_new(BIO_s_mem());
        BIO* out = BIO_new(BIO_s_mem());
        if (!in_ || !out) {
            BIO_free(in_);
            BIO_free(out);
            in_ = nullptr;
            return Result::HandshakeFailed;
        }
        // An empty input buffer means "wait for more", never the end of the connection:
        // the socket reports the end itself.
        BIO_set_mem_eof_return(in_, -1);
        BIO_set_mem_eof_return(out, -1);
        SSL_set_bio(ssl_, in_, out);
        out_ = out;

        // An address is checked against the certificate's IP entries; a name is sent as
        // the server name and checked against its DNS entries.
        std::string name = host;
        if (!name.empty() && name.back() == '.') name.pop_back();
        if (IsIpAddress(name)) {
            if (X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(ssl_), name.c_str()) != 1)
                return Result::HandshakeFailed;
        } else {
            if (SSL_set_tlsext_host_name(ssl_, name.c_str()) != 1 || SSL_set1_host(ssl_, name.c_str()) != 1)
                return Result::HandshakeFailed;
        }
        SSL_set_connect_state(ssl_);
        std::string none;
        return Step(none, wireOut);
    }

    Result Receive(std::string_view wireIn, std::string& plainOut, std::string& wireOut) override {
        if (!ssl_) return Result::Failed;
        while (!wireIn.empty()) {
            const int n = BIO_write(in_, wireIn.data(),
                                    static_cast<int>(std::min<std::size_t>(wireIn.size(), 1 << 30)));
            if (n <= 0) return established_ ? Result::Failed : Result::HandshakeFailed;
            wireIn.remove_prefix(static_cast<std::size_t>(n));
        }
        return Step(plainOut, wireOut);
    }

    bool Send(std::string_view plain, std::string& wireOut) override {
        if (!ssl_ || !established_) return false;
        while (!plain.empty()) {
            std::size_t written = 0;
            if (SSL_write_ex(ssl_, plain.data(), plain.size(), &written) != 1) {
                ERR_clear_error();
                return false;
            }
            plain.remove_prefix(written);
        }
        DrainWire(wireOut);
        return true;
    }

    void Reset() override {
        if (ssl_) SSL_free(ssl_);  // frees both buffers with it
        ssl_ = nullptr;
        in_ = out_ = nullptr;
        established_ = false;
        ERR_clear_error();
    }

private:
    bool MakeContext() {
        context_ = SSL_CTX_new(TLS_client_method());
        if (!context_) return false;
        SSL_CTX_set_min_proto_version(context_, TLS1_2_VERSION);
        SSL_CTX_set_verify(context_, SSL_VERIFY_PEER, nullptr);
        SSL_CTX_set_default_verify_paths(context_);
        ERR_clear_error();
        return true;
    }

    Result Step(std::string& plainOut, std::string& wireOut) {
        if (!established_) {
            const int r = SSL_do_handshake(ssl_);
            DrainWire(wireOut);
            if (r != 1) {
                const int error = SSL_get_error(ssl_, r);
                if (error == SSL_ERROR_WANT_READ || error == SSL_ERROR_WANT_WRITE) return Result::Pending;
                const long verify = SSL_get_verify_result(ssl_);
                ERR_clear_error();
                return verify != X509_V_OK ? Result::CertificateRejected : Result::HandshakeFailed;
            }
            established_ = true;
        }
        char buffer[16384];
        while (true) {
            std::size_t got = 0;
            if (SSL_read_ex(ssl_, buffer, sizeof buffer, &got) == 1) {
                plainOut.append(buffer, got);
                continue;
            }
            const int error = SSL_get_error(ssl_, 0);
            DrainWire(wireOut);
            if (error == SSL_ERROR_WANT_READ || error == SSL_ERROR_WANT_WRITE) return Result::Established;
            ERR_clear_error();
            return error == SSL_ERROR_ZERO_RETURN ? Result::Closed : Result::Failed;
        }
    }

    void DrainWire(std::string& wireOut) {
        char* data = nullptr;
        const long n = BIO_get_mem_data(out_, &data);
        if (n > 0) {
            wireOut.append(data, static_cast<std::size_t>(n));
            (void)BIO_reset(out_);
        }
    }

    SSL_CTX* context_ = nullptr;
    SSL* ssl_ = nullptr;
    BIO* in_ = nullptr;
    BIO* out_ = nullptr;
    bool established_ = false;
};

}  // namespace

std::unique_ptr<TlsEngine> MakeOpenSslEngine() { return std::make_unique<OpenSslEngine>(); }

}  // namespace vexal
