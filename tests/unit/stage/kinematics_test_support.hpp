// Shared set-up of the kinematics tests and the reference values they check against.
//
// clang-format off
// The reference values come from a separate Python script written from the kinematics
// formulas alone, not from this program (Python floats are IEEE doubles, math module
// only). Its source, in full:
//
//     # Reference values for the stage kinematics tests, written from the kinematics formulas
//     # alone (plain Python floats are IEEE doubles; math module only).
//     import math
//     from math import sin, cos, tan, asin, atan, sqrt, fabs, nan, inf, isnan
//     L=1.919986; HL=0.959993; RC=0.031; V1=0.043688; RX=0.3175; V2=0.177015
//     OX=0.137135; OY=0.219696; L1=0.219849; O2=0.323242; L2=0.219788
//     F1=0.7853982; F2=0.6806784; N2=0.8901179265; RA=1.5707963265; TOL=1e-7
//     ECC=[0.000741,0.000746,0.000741,0.000749,0.000747]
//     msgs=[]
//     def q(a, b):  # IEEE division: x/0 is +-inf, 0/0 is nan
//         if b != 0 or isnan(b): return a / b
//         if a == 0 or isnan(a): return nan
//         return math.copysign(inf, a) * math.copysign(1.0, b)
//     def vertices(c):
//         X,Y,R,P,W=c
//         xa=X-HL*sin(W); ya=Y-HL*sin(P); xb=X+HL*sin(W); yb=Y+HL*sin(P)
//         rho=sqrt(OX*OX+OY*OY); phi=atan(OY/OX)
//         return [xa+rho*cos(phi-R)-OX, ya+L1-rho*sin(phi-R), xb+O2*sin(R), yb-O2*cos(R)+L2]
//     def inverse(c, e=ECC, out=None, answers=()):  # answers: 0 go on, else stop
//         answers=list(answers); R=c[2]; vx1,vy1,vx2,vy2=vertices(c)
//         th=list(out) if out else [0.0]*5
//         rows=[(2,lambda: q((vx1+RX)*sin(R)-vy1*cos(R)+L1-OY, e[2]),-1,"Angle Teta1 > 90.Continue?"),
//               (1,lambda: q((vx1+V1)*sin(F1-R)+vy1*cos(F1-R)-RC, e[1]),+1,"Angle Teta2 > 90. Continue?"),
//               (0,lambda: q((vx1-V1)*sin(R+F1)-vy1*cos(R+F1)+RC, e[0]),-1,"Angle Teta3 > 90. Continue?"),
//               (3,lambda: q((vx2-V2)*sin(R+F2)-vy2*cos(R+F2)+RC, e[3]),-1,"Angle Teta4 > 90. Continue?"),
//               (4,lambda: q((vx2+V2)*sin(F2-R)+vy2*cos(F2-R)-RC, e[4]),+1,"Angle Teta5 > 90. Continue?")]
//         for k,sf,form,m in rows:
//             s=sf()
//             if not (fabs(s)<=1):
//                 msgs.append("Unreachable position. Continue? s=%r" % s)
//                 if answers.pop(0)!=0: return th
//             a=asin(s) if fabs(s)<=1 else nan
//             th[k]=(R-a) if form<0 else (a-R)
//             if not (fabs(th[k])<=RA): msgs.append(m)
//         return th
//     def warn(th, mpm):
//         for a in th[:mpm]:
//             if fabs(a)>=RA: msgs.append("Angle out of range (>90 Degrees). Continue?")
//     def vertex(th, e=ECC, roll=0.0, mpm=5, maxp=100, v=None):
//         warn(th, mpm); v=list(v) if v else [0.0]*4
//         c3=(e[2]*cos(th[2])-RX, e[2]*sin(th[2]))
//         c2=(-V1-e[1]*cos(th[1]+F1), e[1]*sin(th[1]+F1))
//         c1=(V1+e[0]*cos(th[0]+F1), e[0]*sin(th[0]+F1))
//         t=roll; err=1.0; n=0
//         while err>TOL:
//             if n==maxp: msgs.append("pass bound"); break
//             T1=tan(F1-t); T2=tan(t+F1); D=T1+T2
//             if D==0 or isnan(D): msgs.append("tangent sum"); return v,roll,n
//             P2=(c2[0]+RC*cos(t+F1), c2[1]+RC*sin(t+F1))
//             P1=(c1[0]-RC*cos(F1-t), c1[1]+RC*sin(F1-t))
//             v[0]=((P2[1]-P1[1])+T1*P2[0]+T2*P1[0])/D; v[1]=P2[1]+(P2[0]-v[0])*T1
//             den=v[0]-c3[0]
//             if den==0 or isnan(den): msgs.append("coordinate difference"); return v,roll,n
//             tn=q(v[1]-L1+OY-c3[1], den)
//             err=fabs(roll-tn); roll=tn; t=tn; n+=1
//         c5=(-V2-e[4]*cos(th[4]+F2), e[4]*sin(th[4]+F2))
//         c4=(V2+e[3]*cos(th[3]+F2), e[3]*sin(th[3]+F2))
//         T1=tan(F2-t); T2=tan(t+F2); D=T1+T2
//         if D==0 or isnan(D): msgs.append("tangent sum"); return v,roll,n
//         P5=(c5[0]+RC*cos(t+N2), c5[1]+RC*sin(t+N2))
//         P4=(c4[0]-RC*cos(N2-t), c4[1]+RC*sin(N2-t))
//         v[2]=((P5[1]-P4[1])+T1*P5[0]+T2*P4[0])/D; v[3]=P5[1]+(P5[0]-v[2])*T1
//         return v,roll,n
//     def forward(th, e=ECC, mpm=5, maxp=100):
//         warn(th, mpm); v,a,n=vertex(th,e,0.0,mpm,maxp)
//         x1=v[0]+OX-OX*cos(a)-OY*sin(a); y1=v[1]+OY*cos(a)-OX*sin(a)-L1
//         x2=v[2]-O2*sin(a); y2=v[3]+O2*cos(a)-L2
//         asn=lambda z: asin(z) if fabs(z)<=1 else nan
//         return [(x1+x2)/2,(y1+y2)/2,a,asn((y2-y1)/L),asn((x2-x1)/L)],n
//     def run(label, f):
//         msgs.clear(); r=f(); print(label, r, msgs)
//     def ecc(**kw):
//         e=list(ECC)
//         for k,x in kw.items(): e[int(k[1])-1]=x
//         return e
//     S=[7.0]*5; G=[0.0003,-0.0002,0.0004,0.00015,-0.00025]; RAp=math.nextafter(RA,2.0)
//     xa=inverse([0.001,0,0,0,0]); ra=inverse([0,0,0.001,0,0]); ga=inverse(G)
//     run('inverse zero', lambda: inverse([0.0]*5))
//     run('inverse X=0.001', lambda: inverse([0.001,0,0,0,0]))
//     run('inverse Y=0.001 refused', lambda: inverse([0,0.001,0,0,0], out=S, answers=[1]))
//     run('inverse Y=0.001 go on, stop at 2nd', lambda: inverse([0,0.001,0,0,0], out=S, answers=[0,1]))
//     run('inverse Roll=0.001', lambda: inverse([0,0,0.001,0,0]))
//     run('vertices G', lambda: vertices(G))
//     run('inverse G', lambda: inverse(G))
//     run('inverse e=1e20 Roll=RA', lambda: inverse([0,0,RA,0,0], e=[1e20]*5))
//     run('inverse e=1e20 Roll=next(RA)', lambda: inverse([0,0,RAp,0,0], e=[1e20]*5))
//     run('inverse e2=0', lambda: inverse([0.0]*5, e=ecc(e2=0.0), out=S, answers=[1]))
//     run('vertex zero', lambda: vertex([0.0]*5))
//     run('forward zero', lambda: forward([0.0]*5))
//     run('forward inverse X=0.001', lambda: forward(xa))
//     run('forward inverse Roll=0.001', lambda: forward(ra))
//     run('forward inverse G', lambda: forward(ga))
//     run('forward th1=RA', lambda: forward([RA,0,0,0,0]))
//     run('forward th3=-1.6', lambda: forward([0,0,-1.6,0,0]))
//     run('forward mpm=1 th1=-1.6', lambda: forward([-1.6,0,0,0,0], mpm=1))
//     run('forward mpm=1 th5=2.0', lambda: forward([0,0,0,0,2.0], mpm=1))
//     run('forward e2=e1 e3=0.3175', lambda: forward([0.0]*5, e=ecc(e2=ECC[0], e3=0.3175)))
//     run('forward th1=nan', lambda: forward([nan,0,0,0,0]))
//     run('vertex roll=nan', lambda: vertex([0.0]*5, roll=nan, v=S[:4]))
//     run('vertex e3=inf', lambda: vertex([0.0]*5, e=ecc(e3=inf), v=S[:4]))
//     run('forward e3=0.3173', lambda: forward([0.0]*5, e=ecc(e3=0.3173)))
//     run('forward e3=0.3173 bound 101', lambda: forward([0.0]*5, e=ecc(e3=0.3173), maxp=101))
//
// Its output (label, result, operator messages in order; "forward" results are
// (coordinates, roll passes), "vertex" results (vertex, roll, passes)):
//
//     inverse zero [0.00036372574146268776, 0.00036128790126602786, 3.7456917160093e-14, 0.0003859111442914347, 0.000386944373644918] []
//     inverse X=0.001 [-1.2659612760923236, 1.247601659940444, 3.7456917160093e-14, -0.9969667061510651, 1.0025585978812483] []
//     inverse Y=0.001 refused [7.0, 7.0, 7.0, 7.0, 7.0] ['Unreachable position. Continue? s=-1.3495276653171777']
//     inverse Y=0.001 go on, stop at 2nd [1.2683941925943802, 1.2476014414611045, nan, 7.0, 7.0] ['Unreachable position. Continue? s=-1.3495276653171777', 'Angle Teta1 > 90.Continue?', 'Unreachable position. Continue? s=-1.0379639707693602']
//     inverse Roll=0.001 [-0.03607690617909395, 0.3008252445808068, -0.24503043874788755, 0.00019541903098501008, 0.0002028376106465292] []
//     vertices G [0.0006278656743567146, -0.00013612737524298923, 0.0001892985490520671, -0.1035099751911803] []
//     inverse G [-1.0313552673269486, 0.30909968790538295, -0.5962982089052897, -0.10838536562480157, -0.007396994373975554] []
//     inverse e=1e20 Roll=RA [1.5707963265, -1.5707963265, 1.5707963265, 1.5707963265, -1.5707963265] []
//     inverse e=1e20 Roll=next(RA) [1.5707963265000002, -1.5707963265000002, 1.5707963265000002, 1.5707963265000002, -1.5707963265000002] ['Angle Teta1 > 90.Continue?', 'Angle Teta2 > 90. Continue?', 'Angle Teta3 > 90. Continue?', 'Angle Teta4 > 90. Continue?', 'Angle Teta5 > 90. Continue?']
//     inverse e2=0 [7.0, 7.0, 3.7456917160093e-14, 7.0, 7.0] ['Unreachable position. Continue? s=inf']
//     vertex zero ([-5.365189132169803e-08, 0.00015261883590176814, -3.889608447324142e-07, -0.10345437193251045], -1.2033254391806817e-06, 2) []
//     forward zero ([1.0535923526422035e-07, -2.940394838585325e-07, -1.2033254391806817e-06, -8.113940483002317e-08, -1.0974534021090438e-07], 2) []
//     forward inverse X=0.001 ([0.0010000000000000438, 0.0, -3.4939152773805196e-16, 2.89122687515731e-17, -3.534976609079055e-17], 1) []
//     forward inverse Roll=0.001 ([-5.987423241666373e-11, -3.934877423894534e-11, 0.001000000574769133, 4.12052160916357e-11, 6.236681941901613e-11], 3) []
//     forward inverse G ([0.00029999992940026396, -0.00020000000485551062, 0.00040000005182568845, 0.00015000000506905709, -0.0002499999264554387], 3) []
//     forward th1=RA ([-0.0004077410998839351, 0.0001482561521476411, 0.0016558916238099176, -0.0001543056874714224, 0.0004247261497524759], 3) ['Angle out of range (>90 Degrees). Continue?', 'Angle out of range (>90 Degrees). Continue?']
//     forward th3=-1.6 ([-0.00020398813343806637, -0.00015989087655705891, 0.002331905095747602, 0.00016719208762539826, 0.0002124777618210454], 3) ['Angle out of range (>90 Degrees). Continue?', 'Angle out of range (>90 Degrees). Continue?']
//     forward mpm=1 th1=-1.6 ([0.00040708458828283363, -0.0001493042722923027, -0.0016572954473274874, 0.00015566066995469953, -0.0004240422634700219], 3) ['Angle out of range (>90 Degrees). Continue?', 'Angle out of range (>90 Degrees). Continue?']
//     forward mpm=1 th5=2.0 ([0.00026993894848247393, 0.00021821235139229955, -1.2033254391806817e-06, 0.00022753134606209595, 0.00028096896335463807], 2) []
//     forward e2=e1 e3=0.3175 ([0.0, 0.0517268094200299, 0.0, 0.05390899082163856, 0.0], 0) ['coordinate difference']
//     forward th1=nan ([nan, nan, 0.0, nan, nan], 0) ['coordinate difference']
//     vertex roll=nan ([7.0, 7.0, 7.0, 7.0], nan, 0) ['tangent sum']
//     vertex e3=inf ([0.0, 0.00015261884005981705, 7.0, 7.0], nan, 1) ['tangent sum']
//     forward e3=0.3173 ([6.625513799182043e-05, 6.955831849685123e-05, -0.001017419781834208, -7.264740614103564e-05, -6.901212848584417e-05], 100) ['pass bound']
//     forward e3=0.3173 bound 101 ([0.00020187832050179923, 0.00013988603639848718, -0.0020429371248890504, -0.00014531103724746576, -0.00021028191658635826], 101) ['pass bound']
// clang-format on
#pragma once

#include "app/shell/shared_state.hpp"
#include "platform_fixture.hpp"
#include "stage/kinematics.hpp"
#include "stage/records.hpp"

#include <string>
#include <vector>

// The stock stage record and the scripted operator; the instrument ids start closed, so a
// No answer has nothing to close.
class KinematicsTest : public PlatformTest {
protected:
    void SetUp() override {
        PlatformTest::SetUp();
        shared_state_reset();
        fill_param_structure(param, addresses, 0);
    }

    // Every scripted answer must have met its pop-up.
    void TearDown() override {
        EXPECT_EQ(op.pending_answers(), 0U) << "scripted answers left over";
        PlatformTest::TearDown();
    }

    // The texts of every pop-up shown so far, each checked to be the danger confirmation.
    std::vector<std::string> danger_texts() const {
        std::vector<std::string> texts;
        for (const auto& popup : op.popups()) {
            EXPECT_EQ(popup.kind, PopupKind::Generic);
            EXPECT_EQ(popup.title, "Danger Operation");
            texts.push_back(popup.message);
        }
        return texts;
    }

    param_structure param{};
    instrument_addresses addresses{};
};

// Pre-filled into output arrays so that an entry left alone can be told apart.
constexpr double SENTINEL = 7.0;
