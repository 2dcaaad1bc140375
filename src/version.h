/* The library's version, defined once; the version resource reads it. */
#ifndef QUORVEL_VERSION_H
#define QUORVEL_VERSION_H

#define QUORVEL_VERSION_MAJOR 1
#define QUORVEL_VERSION_MINOR 0
#define QUORVEL_VERSION_PATCH 0
#define QUORVEL_VERSION_BUILD 1
#define QUORVEL_VERSION_STRING "1.0.0.1"

#endif /* QUORVEL_VERSION_H */
