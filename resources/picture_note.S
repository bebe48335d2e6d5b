/* The tool's picture as a bitmap resource carried in an ELF note of a loaded
   PT_NOTE segment, where the host's resource lookup finds it:
   owner "HOSTRES", type 2 (bitmap), descriptor = resource ID 101, language
   English (United Kingdom), then the device-independent bitmap, which is the
   .bmp file without its 14-byte file header. */

#define RESOURCE_BITMAP 2
#define PICTURE_ID 101
#define LANGUAGE_ENGLISH_UK 0x0809
#define BITMAP_FILE_HEADER_SIZE 14

        .section .note.taviron.picture, "a", @note
        .balign 4
        .long   2f - 1f                 /* name size, NUL included */
        .long   4f - 3f                 /* descriptor size */
        .long   RESOURCE_BITMAP
1:      .asciz  "HOSTRES"
2:      .balign 4
3:      .long   PICTURE_ID
        .long   LANGUAGE_ENGLISH_UK
        .incbin PICTURE_BMP, BITMAP_FILE_HEADER_SIZE
4:      .balign 4

        .section .note.GNU-stack, "", @progbits
