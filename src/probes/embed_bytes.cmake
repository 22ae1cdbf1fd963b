# Turns a file into a C++ source holding its bytes as an array, so that a resource is built into the program
# without any tool but CMake:  cmake -DIN=file -DOUT=file.cpp -DNAME=kBytes -P embed_bytes.cmake
# Defines lanwick::detail::NAME (the bytes, not NUL-terminated) and NAME##Count (their number).
file(READ "${IN}" hex HEX)
file(SIZE "${IN}" size)
if(size EQUAL 0)
    # An empty array is not valid C++: keep one byte that the count leaves out.
    set(body "0x00,")
else()
    string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," body "${hex}")
endif()
file(WRITE "${OUT}.tmp"
     "// Generated from ${IN} by embed_bytes.cmake; do not edit.\n"
     "#include <cstddef>\n"
     "namespace lanwick::detail {\n"
     "extern const unsigned char ${NAME}[];\n"
     "extern const std::size_t ${NAME}Count;\n"
     "const unsigned char ${NAME}[] = {${body}};\n"
     "const std::size_t ${NAME}Count = ${size};\n"
     "} // namespace lanwick::detail\n")
file(RENAME "${OUT}.tmp" "${OUT}")
