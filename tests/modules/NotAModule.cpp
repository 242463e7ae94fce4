// A shared library that loads but is no module: it has none of the entries.
extern "C" __attribute__((visibility("default"))) int QuadoSomethingElse()
{
    return 1;
}
