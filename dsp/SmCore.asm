; Stereo Mics core: the left speaker heard by a close microphone and by a
; stereo room microphone pair. The editor takes words 29..109.
;
; Room model, per output side:
;   close mic        the speaker after tone and gain (r22)
;   direct room      the speaker as it reaches the room pair: line 0, read at
;                    0 (Small) or 1200 samples (Medium, 25 ms)
;   reflections      six taps of line 6000 (delays of 81 to 4504 samples)
;   reverb tail      two cross-coupled feedback loops (lines 12000 and 16000,
;                    1693 and 1931 samples, each with an all-pass of 613 or
;                    751 samples at 27000 or 28000) fed through three diffusing
;                    all-passes; TIME is the loop gain (with a fixed 0.93, so
;                    the longest tail, TIME 100, rings about 4 s), COLOR damps
;                    each loop and each tail output.
; Each line is written at its base and read at base + delay; lines are spaced
; so that no read reaches the next line's writes.

.org 0
    in $0140, r150          ; X = input, r150 = input
.org 29
.base 29
.word 0
    sec r51                 ; close the left filter's history
.word 1
    lpf $063E, r20          ; tone k: r20 = low-passed speaker
    mul $0000, r20          ; tone diff = lowGain - highGain
    macx $4000              ; tone highGain
.word 4
    psh $4000, r22          ; speaker gain; r22 = close mic signal (as in Stereo Cabs)
    wra 1.0, 0              ; direct line for the room pair
    wra 0.5, 6000           ; reflection line; ACC = half the signal, the tail feed
; three all-pass diffusers: v = in + g*d, out = d - g*v
    rda 0.625, 24142
    wra -0.625, 24000
    rda 1.0, 24142
    rda 0.625, 25379
    wra -0.625, 25000
    rda 1.0, 25379
    rda 0.625, 26277
    wra -0.625, 26000
    rda 1.0, 26277
.word 16
    str 1.0, r36            ; r36 = diffused tail feed
    clr
    rda 1.0, 13693          ; end of the left loop
    nop
.word 20
    dmp $E000, r32          ; COLOR: damp the left loop, r32
    clr
    rda 1.0, 17931          ; end of the right loop
    nop
    nop
    nop
.word 26
    dmp $E000, r33          ; COLOR: damp the right loop, r33
    mul 0.65761, r32        ; orthogonal mix of the two loops, times 0.93
    mac 0.65761, r33
    str 1.0, r37            ; r37 = 0.93 (left + right) / sqrt 2
    mul 0.65761, r32
    mac -0.65761, r33
    str 1.0, r38            ; r38 = 0.93 (left - right) / sqrt 2
    nop
    nop
    nop
    mul 0.5, r36            ; feed into the left loop
.word 37
    mac $27AE, r37          ; TIME: loop gain
    rda 0.5, 27613          ; all-pass inside the left loop, for echo density
    wra -0.5, 27000
    rda 1.0, 27613
    wra 0.0, 12000          ; start of the left loop; ACC = 0
    mul 1.0, r32
.word 43
    dmp $E000, r34          ; COLOR: left tail tone, r34
    nop
    nop
.word 46
    mul11 0.5006, r34       ; tail level
.word 47
    rda -0.0812, 9554       ; six early reflections
    rda 0.1082, 7908
    rda 0.1082, 6933
    rda 0.1353, 6771
    rda 0.1353, 6494
    rda -0.1488, 6081
.word 53
    rda 0.2296, 0           ; direct room sound
.word 54
    mac 1.3858, r22         ; close mic level
    out 1.0, left
    mul 0.5, r36            ; feed into the right loop
.word 57
    mac $27AE, r38          ; TIME: loop gain
    rda 0.5, 28751          ; all-pass inside the right loop
    wra -0.5, 28000
    rda 1.0, 28751
    wra 0.0, 16000          ; start of the right loop; ACC = 0
    nop
    mul 1.0, r33
.word 64
    dmp $E000, r35          ; COLOR: right tail tone, r35
.word 65
    mul11 0.5006, r35       ; tail level
.word 66
    rda 0.1082, 9554        ; six early reflections
    rda -0.1353, 7912
    rda 0.1353, 6885
    rda 0.1624, 6443
    rda -0.1624, 6210
    rda 0.1353, 6081
.word 72
    rda -0.2296, 0          ; direct room sound
.word 73
    mac 1.3858, r22         ; close mic level
    out 1.0, right
