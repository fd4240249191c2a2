// Planted beside Quarvello.exe as notepad.exe: it shows nothing and ends, so a
// window the test waits for can come only from the real program.
int main() { return 0; }
