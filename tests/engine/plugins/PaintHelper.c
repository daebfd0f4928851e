/* The library the paint plug-in depends on. */

__attribute__((visibility("default"))) int HookPaintValue(void) {
    return 77;
}
