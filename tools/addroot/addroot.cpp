// addroot FILE.DER: adds the certificate to the current user's "Root" system
// store, so that certificates it issued are trusted.
// addroot --pfx FILE.PFX STORE: adds the certificates of a PKCS #12 file (empty
// password) with their private keys to the local machine's system store STORE
// (created when missing), for TLS server sessions.
// Exit code 0 on success.
#include <windows.h>
#include <wincrypt.h>

#include <cstdio>
#include <cstring>
#include <vector>

namespace {

bool read_all(const char* path, std::vector<unsigned char>* out) {
  std::FILE* fp = std::fopen(path, "rb");
  if (!fp) {
    std::fprintf(stderr, "addroot: cannot open %s\n", path);
    return false;
  }
  unsigned char buf[4096];
  for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, fp)) > 0;)
    out->insert(out->end(), buf, buf + n);
  std::fclose(fp);
  return true;
}

int add_root(const char* path) {
  std::vector<unsigned char> der;
  if (!read_all(path, &der)) return 1;
  HCERTSTORE store =
      CertOpenStore(CERT_STORE_PROV_SYSTEM_A, 0, 0, CERT_SYSTEM_STORE_CURRENT_USER, "Root");
  if (!store) {
    std::fprintf(stderr, "addroot: cannot open the Root store (%lu)\n", GetLastError());
    return 1;
  }
  BOOL ok = CertAddEncodedCertificateToStore(store, X509_ASN_ENCODING, der.data(),
                                             static_cast<DWORD>(der.size()),
                                             CERT_STORE_ADD_REPLACE_EXISTING, nullptr);
  DWORD err = GetLastError();
  CertCloseStore(store, 0);
  if (!ok) {
    std::fprintf(stderr, "addroot: certificate not added (%lu)\n", err);
    return 1;
  }
  std::printf("addroot: %s added to the Root store\n", path);
  return 0;
}

int add_pfx(const char* path, const char* name) {
  std::vector<unsigned char> pfx;
  if (!read_all(path, &pfx)) return 1;
  CRYPT_DATA_BLOB blob{static_cast<DWORD>(pfx.size()), pfx.data()};
  HCERTSTORE from = PFXImportCertStore(&blob, L"", CRYPT_EXPORTABLE);
  if (!from) {
    std::fprintf(stderr, "addroot: %s is no PKCS #12 file (%lu)\n", path, GetLastError());
    return 1;
  }
  HCERTSTORE to =
      CertOpenStore(CERT_STORE_PROV_SYSTEM_A, 0, 0, CERT_SYSTEM_STORE_LOCAL_MACHINE, name);
  if (!to) {
    std::fprintf(stderr, "addroot: cannot open the store %s (%lu)\n", name, GetLastError());
    CertCloseStore(from, 0);
    return 1;
  }
  int added = 0;
  PCCERT_CONTEXT c = nullptr;
  while ((c = CertEnumCertificatesInStore(from, c)) != nullptr)
    if (CertAddCertificateContextToStore(to, c, CERT_STORE_ADD_REPLACE_EXISTING, nullptr)) ++added;
  CertCloseStore(to, 0);
  CertCloseStore(from, 0);
  if (added == 0) {
    std::fprintf(stderr, "addroot: no certificate of %s added\n", path);
    return 1;
  }
  std::printf("addroot: %s added to the local machine's %s store\n", path, name);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2) return add_root(argv[1]);
  if (argc == 4 && std::strcmp(argv[1], "--pfx") == 0) return add_pfx(argv[2], argv[3]);
  std::fprintf(stderr, "usage: addroot FILE.DER | addroot --pfx FILE.PFX STORE\n");
  return 2;
}
