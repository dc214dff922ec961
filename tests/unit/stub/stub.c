/* The least program that can carry a payload: the unit tests build installers from it. */
int StubEntry(void) { return 0; }
