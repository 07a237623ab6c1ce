# CPack: packages of the build (filled in below).
