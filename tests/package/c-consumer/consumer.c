/* Reads the sample factory data named by its argument through the installed library's C API,
   as a C program on a gateway would: succeeds only if every result comes back right. */
#include <tzo/factoryinfo.h>

#include <stdio.h>
#include <string.h>

int main(int argc, char** argv) {
    struct tzo_fi_source sample = {NULL, NULL, 0};
    tzo_fi_info* info = NULL;
    tzo_fi_section* section = NULL;
    const char* serial = "";
    size_t serial_size = 0;
    size_t text_size = 0;
    int verified = 0;
    int code = TZO_FI_OK;
    int ok = 0;

    if (argc != 2) {
        fprintf(stderr, "usage: consumer FACTORY-DATA\n");
        return 2;
    }
    sample.path = argv[1];
    if ((code = tzo_fi_info_read(&sample, &info, NULL)) != TZO_FI_OK ||
        (code = tzo_fi_section_read(&sample, "RadioCalibration", 16, &section, NULL)) !=
            TZO_FI_OK ||
        (code = tzo_fi_checksum_section(&sample, "Factoryinfo", 11, &verified, NULL)) !=
            TZO_FI_OK) {
        fprintf(stderr, "consumer: %s\n", tzo_fi_message(code));
        return 1;
    }
    tzo_fi_info_get(info, "SerialNumber", 12, &serial, &serial_size);
    printf("SerialNumber=%s\n", serial);
    ok = serial_size == 15 && strcmp(serial, "GW4-2026-004711") == 0 &&
         tzo_fi_info_verified(info) && verified && tzo_fi_section_verified(section) &&
         strncmp(tzo_fi_section_text(section, &text_size), "# 2.4 GHz", 9) == 0 && text_size == 74;
    tzo_fi_info_free(info);
    tzo_fi_section_free(section);
    return ok ? 0 : 1;
}
