// A static library that holds nothing but resources (and this function, which nobody calls).
int TestResLibraryVersion() {
    return 1;
}
