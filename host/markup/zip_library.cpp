// libzip, loaded the first time an archive is read or written instead of at
// start: it brings libcrypto along, whose relocation was a good part of the
// start of every run, and most runs never see an archive. These definitions
// stand in for the library's (hidden, so that the library's own calls keep
// binding to itself) and forward to it.
#define ZIP_EXTERN __attribute__((visibility("hidden")))
#include <dlfcn.h>
#include <zip.h>

#include <cstdio>
#include <cstdlib>

#ifndef ORVO_LIBZIP_SONAME
#define ORVO_LIBZIP_SONAME "libzip.so.4"
#endif

namespace {

void* Library() {
    static void* const handle = [] {
        void* opened = dlopen(ORVO_LIBZIP_SONAME, RTLD_NOW | RTLD_LOCAL);
        if (opened == nullptr) {
            std::fprintf(stderr, "cannot load %s: %s\n", ORVO_LIBZIP_SONAME, dlerror());
            std::abort();
        }
        return opened;
    }();
    return handle;
}

template <typename Function>
Function* Resolve(const char* name) {
    void* symbol = dlsym(Library(), name);
    if (symbol == nullptr) {
        std::fprintf(stderr, "%s has no %s\n", ORVO_LIBZIP_SONAME, name);
        std::abort();
    }
    return reinterpret_cast<Function*>(symbol);
}

}  // namespace

#define ORVO_ZIP(name) static auto* const fn = Resolve<decltype(name)>(#name)

extern "C" {

int zip_close(zip_t* a0) {
    ORVO_ZIP(zip_close);
    return fn(a0);
}
void zip_discard(zip_t* a0) {
    ORVO_ZIP(zip_discard);
    fn(a0);
}
int zip_error_code_zip(const zip_error_t* a0) {
    ORVO_ZIP(zip_error_code_zip);
    return fn(a0);
}
void zip_error_fini(zip_error_t* a0) {
    ORVO_ZIP(zip_error_fini);
    fn(a0);
}
void zip_error_init(zip_error_t* a0) {
    ORVO_ZIP(zip_error_init);
    fn(a0);
}
const char* zip_error_strerror(zip_error_t* a0) {
    ORVO_ZIP(zip_error_strerror);
    return fn(a0);
}
int zip_fclose(zip_file_t* a0) {
    ORVO_ZIP(zip_fclose);
    return fn(a0);
}
zip_int64_t zip_file_add(zip_t* a0, const char* a1, zip_source_t* a2, zip_flags_t a3) {
    ORVO_ZIP(zip_file_add);
    return fn(a0, a1, a2, a3);
}
const char* zip_file_get_comment(zip_t* a0, zip_uint64_t a1, zip_uint32_t* a2, zip_flags_t a3) {
    ORVO_ZIP(zip_file_get_comment);
    return fn(a0, a1, a2, a3);
}
int zip_file_get_external_attributes(zip_t* a0, zip_uint64_t a1, zip_flags_t a2, zip_uint8_t* a3, zip_uint32_t* a4) {
    ORVO_ZIP(zip_file_get_external_attributes);
    return fn(a0, a1, a2, a3, a4);
}
int zip_file_set_comment(zip_t* a0, zip_uint64_t a1, const char* a2, zip_uint16_t a3, zip_flags_t a4) {
    ORVO_ZIP(zip_file_set_comment);
    return fn(a0, a1, a2, a3, a4);
}
int zip_file_set_external_attributes(zip_t* a0, zip_uint64_t a1, zip_flags_t a2, zip_uint8_t a3, zip_uint32_t a4) {
    ORVO_ZIP(zip_file_set_external_attributes);
    return fn(a0, a1, a2, a3, a4);
}
int zip_file_set_mtime(zip_t* a0, zip_uint64_t a1, time_t a2, zip_flags_t a3) {
    ORVO_ZIP(zip_file_set_mtime);
    return fn(a0, a1, a2, a3);
}
const char* zip_file_strerror(zip_file_t* a0) {
    ORVO_ZIP(zip_file_strerror);
    return fn(a0);
}
zip_file_t* zip_fopen_index(zip_t* a0, zip_uint64_t a1, zip_flags_t a2) {
    ORVO_ZIP(zip_fopen_index);
    return fn(a0, a1, a2);
}
zip_int64_t zip_fread(zip_file_t* a0, void* a1, zip_uint64_t a2) {
    ORVO_ZIP(zip_fread);
    return fn(a0, a1, a2);
}
const char* zip_get_archive_comment(zip_t* a0, int* a1, zip_flags_t a2) {
    ORVO_ZIP(zip_get_archive_comment);
    return fn(a0, a1, a2);
}
const char* zip_get_name(zip_t* a0, zip_uint64_t a1, zip_flags_t a2) {
    ORVO_ZIP(zip_get_name);
    return fn(a0, a1, a2);
}
zip_int64_t zip_get_num_entries(zip_t* a0, zip_flags_t a1) {
    ORVO_ZIP(zip_get_num_entries);
    return fn(a0, a1);
}
zip_int64_t zip_name_locate(zip_t* a0, const char* a1, zip_flags_t a2) {
    ORVO_ZIP(zip_name_locate);
    return fn(a0, a1, a2);
}
zip_t* zip_open_from_source(zip_source_t* a0, int a1, zip_error_t* a2) {
    ORVO_ZIP(zip_open_from_source);
    return fn(a0, a1, a2);
}
int zip_set_archive_comment(zip_t* a0, const char* a1, zip_uint16_t a2) {
    ORVO_ZIP(zip_set_archive_comment);
    return fn(a0, a1, a2);
}
int zip_set_file_compression(zip_t* a0, zip_uint64_t a1, zip_int32_t a2, zip_uint32_t a3) {
    ORVO_ZIP(zip_set_file_compression);
    return fn(a0, a1, a2, a3);
}
zip_source_t* zip_source_buffer(zip_t* a0, const void* a1, zip_uint64_t a2, int a3) {
    ORVO_ZIP(zip_source_buffer);
    return fn(a0, a1, a2, a3);
}
zip_source_t* zip_source_buffer_create(const void* a0, zip_uint64_t a1, int a2, zip_error_t* a3) {
    ORVO_ZIP(zip_source_buffer_create);
    return fn(a0, a1, a2, a3);
}
int zip_source_close(zip_source_t* a0) {
    ORVO_ZIP(zip_source_close);
    return fn(a0);
}
void zip_source_free(zip_source_t* a0) {
    ORVO_ZIP(zip_source_free);
    fn(a0);
}
void zip_source_keep(zip_source_t* a0) {
    ORVO_ZIP(zip_source_keep);
    fn(a0);
}
int zip_source_open(zip_source_t* a0) {
    ORVO_ZIP(zip_source_open);
    return fn(a0);
}
zip_int64_t zip_source_read(zip_source_t* a0, void* a1, zip_uint64_t a2) {
    ORVO_ZIP(zip_source_read);
    return fn(a0, a1, a2);
}
int zip_source_stat(zip_source_t* a0, zip_stat_t* a1) {
    ORVO_ZIP(zip_source_stat);
    return fn(a0, a1);
}
zip_source_t* zip_source_zip(zip_t* a0, zip_t* a1, zip_uint64_t a2, zip_flags_t a3, zip_uint64_t a4, zip_int64_t a5) {
    ORVO_ZIP(zip_source_zip);
    return fn(a0, a1, a2, a3, a4, a5);
}
int zip_stat_index(zip_t* a0, zip_uint64_t a1, zip_flags_t a2, zip_stat_t* a3) {
    ORVO_ZIP(zip_stat_index);
    return fn(a0, a1, a2, a3);
}
void zip_stat_init(zip_stat_t* a0) {
    ORVO_ZIP(zip_stat_init);
    fn(a0);
}
const char* zip_strerror(zip_t* a0) {
    ORVO_ZIP(zip_strerror);
    return fn(a0);
}

}  // extern "C"
