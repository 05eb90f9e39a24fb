/* Prints the identity of a device from a copy of its factory data, through the C API.
 *
 *   print-factory-info-c FILE
 *
 * On a device, a null source reads "/dev/mtd/by-label/FACTORY" itself; this example reads a file
 * instead so that it runs anywhere. It prints what print_factory_info.cpp prints. */
#include <tzo/factoryinfo.h>

#include <stdio.h>

/* Prints `label`, then the value of `key` (of `key_size` bytes) of `info`, and a line feed. */
static void print_value(const tzo_fi_info* info, const char* label, const char* key,
                        size_t key_size) {
    const char* value = "";
    size_t value_size = 0;
    tzo_fi_info_get(info, key, key_size, &value, &value_size);
    printf("%s%.*s\n", label, (int)value_size, value);
}

int main(int argc, char** argv) {
    struct tzo_fi_source file = {NULL, NULL, 0};
    tzo_fi_info* info = NULL;
    int error_number = 0;
    int code = TZO_FI_OK;

    if (argc != 2) {
        fprintf(stderr, "usage: print-factory-info-c FILE\n");
        return 2;
    }
    file.path = argv[1];
    code = tzo_fi_info_read(&file, &info, &error_number);
    if (code != TZO_FI_OK) {
        fprintf(stderr, "print-factory-info-c: %s%s%s\n", tzo_fi_message(code),
                error_number != 0 ? ": " : "", tzo_fi_cause(error_number));
        return 1;
    }
    print_value(info, "Serial number:     ", "SerialNumber", 12);
    print_value(info, "MAC address:       ", "MacAddress", 10);
    print_value(info, "Hardware revision: ", "HardwareRevision", 16);
    printf("Checksum:          %s\n", tzo_fi_info_verified(info) ? "verified" : "none recorded");
    tzo_fi_info_free(info);
    return 0;
}
