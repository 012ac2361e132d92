# Cross toolchain: mingw-w64, posix thread model (std::thread, std::mutex).
# Included by the toolchain file of each architecture after it set
# CMAKE_SYSTEM_PROCESSOR and _triple.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER   ${_triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${_triple}-g++-posix)
set(CMAKE_RC_COMPILER  ${_triple}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${_triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
