/* Resources of the probe module as HOSTRES notes: type, then resource ID and
   language ID, then the bytes. The same resources as probe_resources.rc. */

.macro resource type, id, language, bytes
    .balign 4
    .long 8                 /* name size: "HOSTRES" and its NUL */
    .long 8 + 2f - 1f       /* descriptor size */
    .long \type
    .asciz "HOSTRES"
    .long \id, \language
1:  .ascii "\bytes"
2:  .balign 4
.endm

    .section .note.hostres, "a", @note
    resource 2, 101, 0x0407, "picture 101, German"
    resource 2, 101, 0x0809, "picture 101, English UK"
    resource 2, 102, 0x0407, "picture 102"
    resource 10, 103, 0x0809, "data 103"

    .section .note.GNU-stack, "", @progbits
