; Speaker filter, left side: five second-order sections in direct form I.
; Each section sums its products into ACC as half its output; SEC pushes the
; section input into the section's history pair and loads X with 2*ACC, the
; section output. Section j keeps its input history in r41+2j, r42+2j;
; its output history is the next section's input history. The editor writes
; the record's c0..c4 into words 0, 2, 3, 6, 7 of every section.
;
; Coefficients: c0..c2 = b0/2..b2/2 in all sections. Sections 2..4 take
; c3 = -a1/2 and c4 = -a2/2. Sections 0 and 1, for the low-frequency poles
; that plain 14-bit coefficients place badly, take the fine forms
; c3 = 8*(-a1/2 - 1) and c4 = 8*(-a2/2 + 1/2), played by mac1 and mach.
;
; As a complete program (this file), the block filters the input and plays
; it on both outputs; sections 0 and 1 hold an exactly cancelling pole-zero
; pair, so the block passes its input unchanged. The editor takes words 43..87.

.org 0
    in $0140, r150          ; X = input, r150 = input
.org 43
.base 43
; section 0 (fine poles)
.word 0
    mul 0.5, r150           ; c0 * x  (the dry input)
    ldx 1.0, r150           ; X = x, for the history push
    mac -0.8125, r41        ; c1 * x[n-1]
    mac 0.328125, r42       ; c2 * x[n-2]
    nop
    nop
    mac1 -1.5, r43          ; (1 + c3/8) * y[n-1]
    mach 1.375, r44         ; (-1/2 + c4/8) * y[n-2]
    sec r41                 ; push x, X = y
; section 1 (fine poles)
.word 9
    mulx 0.5                ; c0 * x
    nop
    mac -0.8125, r43        ; c1 * x[n-1]
    mac 0.328125, r44       ; c2 * x[n-2]
    nop
    nop
    mac1 -1.5, r45          ; (1 + c3/8) * y[n-1]
    mach 1.375, r46         ; (-1/2 + c4/8) * y[n-2]
    sec r43                 ; push x, X = y
; section 2
.word 18
    mulx 0.5                ; c0 * x
    nop
    mac 0.0, r45            ; c1 * x[n-1]
    mac 0.0, r46            ; c2 * x[n-2]
    nop
    nop
    mac 0.0, r47            ; c3 * y[n-1]
    mac 0.0, r48            ; c4 * y[n-2]
    sec r45                 ; push x, X = y
; section 3
.word 27
    mulx 0.5                ; c0 * x
    nop
    mac 0.0, r47            ; c1 * x[n-1]
    mac 0.0, r48            ; c2 * x[n-2]
    nop
    nop
    mac 0.0, r49            ; c3 * y[n-1]
    mac 0.0, r50            ; c4 * y[n-2]
    sec r47                 ; push x, X = y
; section 4
.word 36
    mulx 0.5                ; c0 * x
    nop
    mac 0.0, r49            ; c1 * x[n-1]
    mac 0.0, r50            ; c2 * x[n-2]
    nop
    nop
    mac 0.0, r51            ; c3 * y[n-1]
    mac 0.0, r52            ; c4 * y[n-2]
    sec r49                 ; push x, X = y
.word 45
    sec r51                 ; push the last section's output
    out 1.0, left
    out 1.0, right
