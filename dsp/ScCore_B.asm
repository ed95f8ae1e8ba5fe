; Stereo Cabs core, "Notcher - Doubler" delay variant. The editor takes
; words 71..98: words 0..13 run after the left speaker filter, words 14..27
; after the right one.
;
; Timing: both outputs of sample n leave in pass n+1. The left part mixes the
; speaker signals that the previous pass left in r23 (left) and r26 (right);
; the right part mixes the current ones and holds its result in r28, which
; OUTD plays one pass later. Delay lines: 0 and 6001 carry the left speaker,
; 12002 and 18003 the right one; each side writes its two lines and reads
; them back at base + delay, so a delay of 0 is the sample just written.
; Notcher - Doubler: only the side's own speaker passes through its delay
; line; the blend then mixes that delayed speaker with the other, undelayed
; one. With both weights up (blend near the midpoint) short delays comb the
; response and long ones double the sound; at the blend's endpoints one path
; is silent and the effect is gone. Without delay the variant plays the same
; mix as the Stereo Enhancer (rounded at another step, so within one LSB).

.org 0
    in $0140, r150          ; X = input, r150 = input
.org 71
.base 71
.word 0
    sec r51                 ; close the left filter's history
.word 1
    lpf $063E, r20          ; tone k: r20 = low-passed speaker
    mul $0000, r20          ; tone diff = lowGain - highGain
    macx $4000              ; tone highGain
.word 4
    psh $4000, r22          ; speaker gain; r22 = left speaker now, r23 = one pass ago
.word 5
    mul 1.0, r23            ; own (left) speaker
    wra 1.0, 0              ; left line 0
    wra 0.0, 6001           ; left line 1; ACC = 0
.word 8
    rda 0.5, 0              ; delayed own speaker, line 0
    rda 0.5, 6001           ; delayed own speaker, line 1
.word 10
    scl $4000               ; blend weight of the own (left) speaker, delayed
    mac $0000, r26          ; blend weight of the other (right) speaker
    scl $6000               ; volume x 1.5
.word 13
    out 1.0, left
.word 14
    sec r65                 ; close the right filter's history
.word 15
    lpf $063E, r21          ; tone k
    mul $0000, r21          ; tone diff
    macx $4000              ; tone highGain
.word 18
    psh $4000, r26          ; speaker gain; r26 = right speaker now, r27 = one pass ago
.word 19
    mul 1.0, r26            ; own (right) speaker
    wra 1.0, 12002          ; right line 2
    wra 0.0, 18003          ; right line 3; ACC = 0
.word 22
    rda 0.5, 12002          ; delayed own speaker, line 2
    rda 0.5, 18003          ; delayed own speaker, line 3
.word 24
    scl $4000               ; blend weight of the own (right) speaker, delayed
    mac $0000, r22          ; blend weight of the other (left) speaker
    scl $6000               ; volume x 1.5
.word 27
    outd 1.0, right, r28    ; play the previous pass's right output, keep this one
