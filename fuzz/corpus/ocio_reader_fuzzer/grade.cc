<ColorCorrection id="one"><SOPNode><Slope>0.9 1 0.8</Slope><Offset>-0.05 0 0.1</Offset><Power>0.8 1 1.25</Power></SOPNode><SatNode><Saturation>0.8</Saturation></SatNode></ColorCorrection>
