/* Example: file transfer. Copies a file from this computer into the
 * analyzer's mass memory, lists the folder, copies the file back under
 * another name and checks the bytes came back unchanged. */
#include <stdio.h>
#include <string.h>

#include "ZOR.h"

static int check(ViSession vi, ViStatus status, const char* what) {
    ViChar message[ZOR_MESSAGE_BUFFER_SIZE] = "";
    if (status >= 0) return 1;
    ZOR_error_message(vi, status, message);
    fprintf(stderr, "%s failed: %s (0x%08X)\n", what, message, (unsigned)status);
    return 0;
}

static size_t read_all(const char* path, char* buffer, size_t size) {
    FILE* file = fopen(path, "rb");
    size_t n = 0;
    if (file == NULL) return 0;
    n = fread(buffer, 1, size, file);
    fclose(file);
    return n;
}

int main(void) {
    static const char content[] = "Limit mask for the 4.5 GHz filter\n\x01\x02 binary bytes too\n";
    const char* local = "zor_example_upload.bin";
    const char* back = "zor_example_download.bin";
    ViChar catalog[1024];
    char returned[256];
    ViSession vi = 0;
    FILE* file;
    int ok;

    file = fopen(local, "wb");
    if (file == NULL || fwrite(content, 1, sizeof content - 1, file) != sizeof content - 1) return 1;
    fclose(file);

    if (!check(VI_NULL, ZOR_InitWithOptions("SIM::files::INSTR", VI_TRUE, VI_TRUE, "", &vi), "open the session"))
        return 1;
    ok = check(vi, ZOR_MemoryCreateDirectory(vi, "/USER/EXAMPLE"), "make a folder") &&
         check(vi, ZOR_MemoryDownloadData(vi, "/USER/EXAMPLE/mask.bin", local), "copy the file to the analyzer") &&
         check(vi, ZOR_MemoryGetCatalog(vi, "/USER/EXAMPLE", sizeof catalog, catalog), "list the folder") &&
         check(vi, ZOR_MemoryUploadData(vi, "/USER/EXAMPLE/mask.bin", back), "copy the file back");
    if (ok) printf("Analyzer folder /USER/EXAMPLE: %s\n", catalog);
    check(vi, ZOR_close(vi), "close the session");
    if (ok) {
        const size_t n = read_all(back, returned, sizeof returned);
        ok = n == sizeof content - 1 && memcmp(returned, content, n) == 0;
        printf("Round trip of %u bytes: %s\n", (unsigned)(sizeof content - 1), ok ? "identical" : "DIFFERENT");
    }
    remove(local);
    remove(back);
    return ok ? 0 : 1;
}
