// Links every operation without Qt Widgets; see CMakeLists.txt. Running it does nothing.
int main() {
    return 0;
}
