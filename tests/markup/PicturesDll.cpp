// A module that only carries pictures; the tests load it as data.
extern "C" __declspec(dllexport) int MarkupPicturesVersion()
{
    return 1;
}
