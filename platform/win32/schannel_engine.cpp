// Schannel client sessions over byte buffers. Schannel's own certificate check is turned
// off (manual validation) so that the program decides, after the handshake, through the
// system's SSL chain policy: a chain to a trusted root, in date, and for the host named.
#include "platform/win32/schannel_engine.h"

#include "platform/win32/win32_api.h"
// clang-format off
#define SECURITY_WIN32
#include <security.h>
#include <schannel.h>
#include <wincrypt.h>
// clang-format on

#include <algorithm>
#include <string>

#include "platform/win32/utf16.h"

namespace vexal {
namespace {

// The content type of a TLS alert record.
constexpr unsigned char kAlertRecord = 21;

constexpr unsigned long kContextFlags = ISC_REQ_SEQUENCE_DETECT | ISC_REQ_REPLAY_DETECT |
                                        ISC_REQ_CONFIDENTIALITY | ISC_REQ_ALLOCATE_MEMORY | ISC_REQ_STREAM |
                                        ISC_REQ_MANUAL_CRED_VALIDATION;

bool IsCertificateError(SECURITY_STATUS status) {
    switch (status) {
        case SEC_E_UNTRUSTED_ROOT:
        case SEC_E_CERT_EXPIRED:
        case SEC_E_WRONG_PRINCIPAL:
        case SEC_E_CERT_UNKNOWN:
        case static_cast<SECURITY_STATUS>(CERT_E_UNTRUSTEDROOT):
        case static_cast<SECURITY_STATUS>(CERT_E_EXPIRED):
        case static_cast<SECURITY_STATUS>(CERT_E_CN_NO_MATCH):
        case static_cast<SECURITY_STATUS>(CERT_E_CHAINING):
            return true;
        default:
            return false;
    }
}

class SchannelEngine final : public TlsEngine {
public:
    ~SchannelEngine() override {
        Reset();
        if (haveCredentials_) ::FreeCredentialsHandle(&credentials_);
    }

    Result Start(const std::string& host, std::string& wireOut) override {
        Reset();
        host_ = win32::Widen(host);
        if (!haveCredentials_ && !AcquireCredentials()) return Result::HandshakeFailed;
        SecBuffer out{0, SECBUFFER_TOKEN, nullptr};
        SecBufferDesc outDesc{SECBUFFER_VERSION, 1, &out};
        unsigned long attributes = 0;
        const SECURITY_STATUS status =
            ::InitializeSecurityContextW(&credentials_, nullptr, host_.data(), kContextFlags, 0, 0, nullptr,
                                         0, &context_, &outDesc, &attributes, nullptr);
        if (status != SEC_I_CONTINUE_NEEDED && status != SEC_E_OK) return Result::HandshakeFailed;
        haveContext_ = true;
        TakeToken(out, wireOut);
        return Result::Pending;
    }

    Result Receive(std::string_view wireIn, std::string& plainOut, std::string& wireOut) override {
        if (!haveContext_) return Result::Failed;
        in_.append(wireIn);
        if (!established_) {
            const Result r = Handshake(wireOut);
            if (r != Result::Established) return r;
        }
        return Decrypt(plainOut);
    }

    bool Send(std::string_view plain, std::string& wireOut) override {
        if (!established_) return false;
        std::string record;
        while (!plain.empty()) {
            const std::size_t n = std::min<std::size_t>(plain.size(), sizes_.cbMaximumMessage);
            record.assign(sizes_.cbHeader + n + sizes_.cbTrailer, '\0');
            std::copy(plain.begin(), plain.begin() + static_cast<std::ptrdiff_t>(n),
                      record.begin() + sizes_.cbHeader);
            SecBuffer buffers[4] = {
                {sizes_.cbHeader, SECBUFFER_STREAM_HEADER, record.data()},
                {static_cast<unsigned long>(n), SECBUFFER_DATA, record.data() + sizes_.cbHeader},
                {sizes_.cbTrailer, SECBUFFER_STREAM_TRAILER, record.data() + sizes_.cbHeader + n},
                {0, SECBUFFER_EMPTY, nullptr},
            };
            SecBufferDesc desc{SECBUFFER_VERSION, 4, buffers};
            if (::EncryptMessage(&context_, 0, &desc, 0) != SEC_E_OK) return false;
            wireOut.append(record.data(), buffers[0].cbBuffer + buffers[1].cbBuffer + buffers[2].cbBuffer);
            plain.remove_prefix(n);
        }
        return true;
    }

    void Reset() override {
        if (haveContext_) ::DeleteSecurityContext(&context_);
        haveContext_ = false;
        established_ = false;
        in_.clear();
        inBegin_ = 0;
    }

private:
    bool AcquireCredentials() {
        SCHANNEL_CRED cred{};
        cred.dwVersion = SCHANNEL_CRED_VERSION;
        // TLS 1.2: every server of today speaks it, and older versions are refused.
        cred.grbitEnabledProtocols = SP_PROT_TLS1_2_CLIENT;
        cred.dwFlags = SCH_CRED_MANUAL_CRED_VALIDATION | SCH_CRED_NO_DEFAULT_CREDS;
        wchar_t package[] = UNISP_NAME_W;
        const SECURITY_STATUS status = ::AcquireCredentialsHandleW(
            nullptr, package, SECPKG_CRED_OUTBOUND, nullptr, &cred, nullptr, nullptr, &credentials_, nullptr);
        haveCredentials_ = status == SEC_E_OK;
        return haveCredentials_;
    }

    static void TakeToken(SecBuffer& token, std::string& wireOut) {
        if (token.pvBuffer && token.cbBuffer > 0)
            wireOut.append(static_cast<const char*>(token.pvBuffer), token.cbBuffer);
        if (token.pvBuffer) ::FreeContextBuffer(token.pvBuffer);
        token.pvBuffer = nullptr;
    }

    // Unread bytes in `in_`, as Schannel wants them.
    char* Unread() { return in_.data() + inBegin_; }
    unsigned long UnreadSize() const { return static_cast<unsigned long>(in_.size() - inBegin_); }
    // Keeps the last `extra` unread bytes: Schannel took everything before them.
    void KeepLast(unsigned long extra) {
        inBegin_ = in_.size() - std::min<std::size_t>(extra, in_.size() - inBegin_);
        if (inBegin_ == in_.size()) {
            in_.clear();
            inBegin_ = 0;
        }
    }

    Result Handshake(std::string& wireOut) {
        while (UnreadSize() > 0) {
            SecBuffer in[2] = {{UnreadSize(), SECBUFFER_TOKEN, Unread()}, {0, SECBUFFER_EMPTY, nullptr}};
            SecBufferDesc inDesc{SECBUFFER_VERSION, 2, in};
            SecBuffer out{0, SECBUFFER_TOKEN, nullptr};
            SecBufferDesc outDesc{SECBUFFER_VERSION, 1, &out};
            unsigned long attributes = 0;
            const SECURITY_STATUS status =
                ::InitializeSecurityContextW(&credentials_, &context_, host_.data(), kContextFlags, 0, 0,
                                             &inDesc, 0, nullptr, &outDesc, &attributes, nullptr);
            TakeToken(out, wireOut);
            if (status == SEC_E_INCOMPLETE_MESSAGE) return Result::Pending;
            if (status != SEC_E_OK && status != SEC_I_CONTINUE_NEEDED &&
                status != SEC_I_INCOMPLETE_CREDENTIALS)
                return IsCertificateError(status) ? Result::CertificateRejected : Result::HandshakeFailed;
            KeepLast(in[1].BufferType == SECBUFFER_EXTRA ? in[1].cbBuffer : 0);
            if (status == SEC_E_OK) {
                if (!CertificateTrusted()) return Result::CertificateRejected;
                if (::QueryContextAttributesW(&context_, SECPKG_ATTR_STREAM_SIZES, &sizes_) != SEC_E_OK)
                    return Result::HandshakeFailed;
                established_ = true;
                return Result::Established;
            }
        }
        return Result::Pending;
    }

    bool CertificateTrusted() {
        PCCERT_CONTEXT remote = nullptr;
        if (::QueryContextAttributesW(&context_, SECPKG_ATTR_REMOTE_CERT_CONTEXT, &remote) != SEC_E_OK ||
            !remote)
            return false;
        char serverAuth[] = szOID_PKIX_KP_SERVER_AUTH;
        char* usages[] = {serverAuth};
        CERT_CHAIN_PARA chainPara{};
        chainPara.cbSize = sizeof chainPara;
        chainPara.RequestedUsage.dwType = USAGE_MATCH_TYPE_AND;
        chainPara.RequestedUsage.Usage.cUsageIdentifier = 1;
        chainPara.RequestedUsage.Usage.rgpszUsageIdentifier = usages;
        PCCERT_CHAIN_CONTEXT chain = nullptr;
        bool trusted = false;
        if (::CertGetCertificateChain(nullptr, remote, nullptr, remote->hCertStore, &chainPara, 0, nullptr,
                                      &chain)) {
            SSL_EXTRA_CERT_CHAIN_POLICY_PARA ssl{};
            ssl.cbSize = sizeof ssl;
            ssl.dwAuthType = AUTHTYPE_SERVER;
            ssl.pwszServerName = host_.data();
            CERT_CHAIN_POLICY_PARA policy{};
            policy.cbSize = sizeof policy;
            policy.pvExtraPolicyPara = &ssl;
            CERT_CHAIN_POLICY_STATUS result{};
            result.cbSize = sizeof result;
            trusted = ::CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, chain, &policy, &result) &&
                      result.dwError == 0;
            ::CertFreeCertificateChain(chain);
        }
        ::CertFreeCertificateContext(remote);
        return trusted;
    }

    Result Decrypt(std::string& plainOut) {
        while (UnreadSize() > 0) {
            // The record header travels in the clear: its first byte says an alert is coming.
            const bool alert = static_cast<unsigned char>(*Unread()) == kAlertRecord;
            SecBuffer buffers[4] = {{UnreadSize(), SECBUFFER_DATA, Unread()},
                                    {0, SECBUFFER_EMPTY, nullptr},
                                    {0, SECBUFFER_EMPTY, nullptr},
                                    {0, SECBUFFER_EMPTY, nullptr}};
            SecBufferDesc desc{SECBUFFER_VERSION, 4, buffers};
            const SECURITY_STATUS status = ::DecryptMessage(&context_, &desc, 0, nullptr);
            if (status == SEC_E_INCOMPLETE_MESSAGE) break;
            if (status == SEC_I_CONTEXT_EXPIRED) return Result::Closed;
            if (status != SEC_E_OK) return Result::Failed;
            unsigned long extra = 0;
            std::size_t plain = 0;
            for (const SecBuffer& b : buffers) {
                if (b.BufferType == SECBUFFER_DATA && b.cbBuffer > 0) {
                    plainOut.append(static_cast<const char*>(b.pvBuffer), b.cbBuffer);
                    plain += b.cbBuffer;
                }
                if (b.BufferType == SECBUFFER_EXTRA) extra = b.cbBuffer;
            }
            KeepLast(extra);
            // Not every Schannel reports the peer's close_notify as an expired context: some
            // return success with no data for it. A fatal alert fails above, so an alert that
            // reads as nothing is the end of the stream, whether or not the peer closes the
            // connection after it; waiting for that could last the whole time-out.
            if (alert && plain == 0) return Result::Closed;
        }
        // Whole records are gone; a partial one moves to the front once, not per record.
        if (inBegin_ > 0) {
            in_.erase(0, inBegin_);
            inBegin_ = 0;
        }
        return Result::Established;
    }

    CredHandle credentials_{};
    bool haveCredentials_ = false;
    CtxtHandle context_{};
    bool haveContext_ = false;
    bool established_ = false;
    std::wstring host_;
    std::string in_;  // received bytes; the unread ones start at inBegin_
    std::size_t inBegin_ = 0;
    SecPkgContext_StreamSizes sizes_{};
};

}  // namespace

std::unique_ptr<TlsEngine> MakeSchannelEngine() { return std::make_unique<SchannelEngine>(); }

}  // namespace vexal
