/* A broken frame-hook plug-in: Configure and Release, but no Process. */

__attribute__((visibility("default"))) int Configure(void** context, int argc, char* argv[]) {
    (void)argc;
    (void)argv;
    *context = 0;
    return 0;
}

__attribute__((visibility("default"))) void Release(void* context) {
    (void)context;
}
