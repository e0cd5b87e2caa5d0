// KVR516_UPDATE, GPL-3.0-or-later.
//
// Built into every program of the AddressSanitizer build (KVR_SANITIZE=address):
// the leaks LeakSanitizer is not to report, each with its reason. They are
// compiled in rather than given through LSAN_OPTIONS so that they also hold in
// processes started with a cleared environment, as the end-to-end tests start
// the program. Both lie in system libraries, happen once, and do not grow.

extern "C" const char* __lsan_default_suppressions()
{
    return
        // fontconfig loses a few hundred bytes while it parses its XML
        // configuration, when its default configuration is first loaded
        // (FcInitLoadConfigAndFonts, reached through FcConfigSubstituteWithPat
        // with no configuration given). The fast unwinder stops inside the
        // library, so the library is named.
        "leak:libfontconfig.so.1\n"
        // glibc's newlocale builds the search list of LOCPATH with argz and
        // keeps it (only when LOCPATH is set, as the end-to-end test sets it
        // for its Japanese locale); the locale query frees each locale it opens.
        "leak:__argz_add_sep\n";
}
