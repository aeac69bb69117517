// A platform function of the old kind.
bool OpenThing(const char* name, int& error);
bool Fine(int& count);
