// addroot FILE.DER: adds the certificate to the current user's "Root" system
// store, so that certificates it issued are trusted. Exit code 0 on success.
#include <windows.h>
#include <wincrypt.h>

#include <cstdio>
#include <vector>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: addroot FILE.DER\n");
    return 2;
  }
  std::FILE* fp = std::fopen(argv[1], "rb");
  if (!fp) {
    std::fprintf(stderr, "addroot: cannot open %s\n", argv[1]);
    return 1;
  }
  std::vector<unsigned char> der;
  unsigned char buf[4096];
  for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, fp)) > 0;)
    der.insert(der.end(), buf, buf + n);
  std::fclose(fp);

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
  std::printf("addroot: %s added to the Root store\n", argv[1]);
  return 0;
}
