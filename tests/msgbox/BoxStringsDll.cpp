// A module that only carries strings; the tests load it as data.
extern "C" __declspec(dllexport) int BoxStringsVersion()
{
    return 1;
}
