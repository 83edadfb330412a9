#ifndef RESOURCES_H
#define RESOURCES_H

// The program's resources (QML compiled ahead of time, images, the font, the
// translations) live in the static library; a static library's resources
// only register when someone asks for them.
class Resources
{
public:
    static void init();
};

#endif // RESOURCES_H
