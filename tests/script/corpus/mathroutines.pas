program mathroutines;
{$IFNDEF VIDORRA}
uses SysUtils, Math;
procedure showmessage(z: string); begin WriteLn(UTF8Encode(z)); end;
{$ENDIF}

// Unité Math : Max, Min, Ceil, Floor, Power, IntPower, Sign, pour des durées et des débits.
var
  frames, fps, clips, i: Integer;
  total: Int64;
  seconds, rate, ratio, x, y: Double;

procedure tryPower(b, e: Double);
begin
  try
    showmessage(FloatToStr(Power(b, e)));
  except
    on E: Exception do showmessage(E.ClassName);
  end;
end;

procedure tryRound(v: Double);
begin
  try
    showmessage(IntToStr(Ceil(v)) + ' ' + IntToStr(Floor(v)));
  except
    on E: Exception do showmessage(E.ClassName + ': ' + E.Message);
  end;
end;

begin
  // Nombre de fichiers pour une capture découpée en morceaux de 25 secondes.
  frames := 4512;
  fps := 25;
  seconds := frames / fps;
  clips := Ceil(seconds / 25);
  showmessage(Format('%d images, %.2f s, %d morceaux', [frames, seconds, clips]));
  showmessage(IntToStr(Floor(seconds / 60)) + ' min ' + IntToStr(Floor(seconds) mod 60) + ' s');

  // Bornes des réglages : Max et Min d'entiers restent entiers.
  i := Max(fps, 30) * 2;
  showmessage(IntToStr(i) + ' ' + IntToStr(Min(-3, 4)) + ' ' + IntToStr(Max(7, 7)));
  total := 5000000000;
  showmessage(IntToStr(Max(total, frames)) + ' ' + IntToStr(Min(total, Int64(-1))));
  // Un réel parmi eux donne un réel.
  rate := 7.5;
  showmessage(FloatToStr(Max(fps, rate)) + ' ' + FloatToStr(Min(rate, 10)) + ' ' + FloatToStr(Max(2.25, -1)));
  showmessage(FloatToStr(Min(0.1, 0.2) * 3) + ' ' + FloatToStr(Max(-0.5, -0.25)));

  tryRound(2.1);
  tryRound(-2.1);
  tryRound(2.9);
  tryRound(-2.9);
  tryRound(5);
  tryRound(-5);
  tryRound(0.5);
  tryRound(-0.5);
  tryRound(1e-9);
  tryRound(-1e-9);
  tryRound(2147483647.5);
  tryRound(1e10);
  tryRound(-3e9);
  tryRound(1e30);

  // Débit : Power et IntPower.
  ratio := Power(2, 10);
  showmessage(FloatToStr(ratio) + ' ' + FloatToStr(Power(2, -2)) + ' ' + FloatToStr(Power(9, 0.5)) + ' ' + FloatToStr(Power(2.5, 2)));
  showmessage(FloatToStr(Power(0, 0)) + ' ' + FloatToStr(Power(0, 3)) + ' ' + FloatToStr(Power(-2, 3)) + ' ' + FloatToStr(Power(-2, -3)) + ' ' + FloatToStr(Power(1e-5, 3)));
  showmessage(FloatToStr(Power(2, 0.5)) + ' ' + FloatToStr(Power(10, 2.5)) + ' ' + FloatToStr(Power(1.5, -0.5)));
  tryPower(-8, 1 / 3);
  tryPower(0, -1);
  tryPower(0, -1.5);
  tryPower(-1, 0.5);
  showmessage(FloatToStr(IntPower(2, 10)) + ' ' + FloatToStr(IntPower(2, -3)) + ' ' + FloatToStr(IntPower(0, 0)) + ' ' + FloatToStr(IntPower(1.5, 3)) + ' ' + FloatToStr(IntPower(-2, 0)));
  // Des valeurs dont le 16e chiffre est un 5 : arrondies vers le haut, comme Free Pascal.
  showmessage(FloatToStr(IntPower(2, -22)) + ' ' + FloatToStr(9 * IntPower(2, -21)) + ' ' + FloatToStr(IntPower(1.0585, 6)));
  // Calculés sur 80 bits comme Free Pascal, puis rangés dans un Double.
  x := 19.95;
  ratio := IntPower(x, -11);
  x := 0.541;
  rate := IntPower(x, 12);
  x := 10.84;
  y := 0.9;
  seconds := Power(x, y);
  showmessage(FloatToStr(ratio) + ' ' + FloatToStr(rate) + ' ' + FloatToStr(seconds));
  try
    showmessage(FloatToStr(IntPower(0, -2)));
  except
    on E: Exception do showmessage(E.ClassName);
  end;

  // Sign sur des décalages de synchronisation.
  showmessage(IntToStr(Sign(-5)) + ' ' + IntToStr(Sign(0)) + ' ' + IntToStr(Sign(2.5)) + ' ' + IntToStr(Sign(-0.001)) + ' ' + IntToStr(Sign(total)));
  showmessage(IntToStr(Sign(frames - 5000) * 10));
end.
