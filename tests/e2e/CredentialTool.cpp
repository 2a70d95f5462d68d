// Stores or removes the password that Windows' NTLM answers a proxy with, where the signed-in
// user's own would be: a domain password in the credential store under the proxy's host name.
//   credential_tool write HOST USER PASSWORD
//   credential_tool delete HOST
#include <windows.h>

#include <wincred.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

std::wstring widened(const char* text) {
    return std::wstring(text, text + std::strlen(text));
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 5 && std::strcmp(argv[1], "write") == 0) {
        std::wstring target = widened(argv[2]);
        std::wstring user = widened(argv[3]);
        const std::wstring password = widened(argv[4]);
        CREDENTIALW credential{};
        credential.Type = CRED_TYPE_DOMAIN_PASSWORD;
        credential.TargetName = &target[0];
        credential.UserName = &user[0];
        credential.CredentialBlobSize = static_cast<DWORD>(password.size() * sizeof(wchar_t));
        credential.CredentialBlob = reinterpret_cast<LPBYTE>(const_cast<wchar_t*>(password.data()));
        credential.Persist = CRED_PERSIST_LOCAL_MACHINE;
        if (!CredWriteW(&credential, 0)) {
            std::fprintf(stderr, "CredWriteW failed: %lu\n", GetLastError());
            return 1;
        }
        return 0;
    }
    if (argc == 3 && std::strcmp(argv[1], "delete") == 0) {
        const std::wstring target = widened(argv[2]);
        return CredDeleteW(target.c_str(), CRED_TYPE_DOMAIN_PASSWORD, 0) ? 0 : 1;
    }
    std::fprintf(stderr, "usage: credential_tool write HOST USER PASSWORD | delete HOST\n");
    return 2;
}
