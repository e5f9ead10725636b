// The version information of the program file. On Windows the resource script carries it;
// elsewhere this block does, read back by fileVersionOf().

#ifndef _WIN32

extern "C" {
// "\x01VS_VERSION_INFO\x01T7" marks the block; the translation key follows, then pairs.
extern const char teskar7_version_block[];
[[gnu::used]] const char teskar7_version_block[] =
    "\x01VS_VERSION_INFO\x01T7\0"
    "041904E3\0"
    "\\StringFileInfo\\041904E3\\FileVersion\0"
    "1.0.0.10\0"
    "\\StringFileInfo\\041904E3\\ProductVersion\0"
    "1.0.0.0\0"
    "\\StringFileInfo\\041904E3\\ProductName\0"
    "ТЕСКАР-7\0"
    "\\StringFileInfo\\041904E3\\InternalName\0"
    "ТЕСКАР-7\0"
    "\\StringFileInfo\\041904E3\\FileDescription\0"
    "Программа для обмена данными с прибором ВАРДО-5\0"
    "\\StringFileInfo\\041904E3\\CompanyName\0"
    "Kelmet\0"
    "\\StringFileInfo\\041904E3\\OriginalFilename\0"
    "teskar7\0"
    "\\StringFileInfo\\041904E3\\Comments\0"
    "\0"
    "\0";
}

#endif
